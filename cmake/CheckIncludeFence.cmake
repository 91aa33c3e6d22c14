# Fails when a source folder includes a header of a layer above it: the core
# is the program's foundation and knows neither the desktop program, nor the
# command line, nor the simulator that makes test scans; the desktop program
# does not lean on the command line; the build's own tools (src/tools) stand
# apart from the program. src/ is every target's include root, so
# the compiler alone would let such an include through.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckIncludeFence.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

# folder | the include prefixes it must not use
set(fences
  "src/core|app/,cli/,testing/"
  "src/testing|app/,cli/"
  "src/app|cli/,testing/"
  "src/tools|core/,app/,cli/,testing/")

set(breaches "")
foreach(fence ${fences})
  string(REPLACE "|" ";" parts "${fence}")
  string(REPLACE "," ";" parts "${parts}")
  list(GET parts 0 folder)
  list(SUBLIST parts 1 -1 forbidden)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.in")
  foreach(file ${files})
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      foreach(prefix ${forbidden})
        if(line MATCHES "#[ \t]*include[ \t]*[\"<]${prefix}")
          file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
          string(APPEND breaches "  ${shown}: ${line}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(breaches)
  message(FATAL_ERROR "includes across a layer boundary:\n${breaches}")
endif()
