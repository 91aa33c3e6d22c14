# What an installation says about itself besides the programs: the manual
# pages and the bash completion, made at build time by quorlen-helpdoc from
# the programs' own --help (a new command of quorlen-cli is in both without
# anyone editing them), the AppStream data, the package's changelog and
# copyright. Everything lands under share/ of the build tree as it will under
# the installed prefix.

find_program(QUORLEN_GZIP gzip REQUIRED)

set(QUORLEN_MAN_DIR ${CMAKE_BINARY_DIR}/share/man/man1)
set(QUORLEN_BASH_COMPLETION ${CMAKE_BINARY_DIR}/share/bash-completion/completions/quorlen-cli)
set(QUORLEN_METAINFO ${CMAKE_BINARY_DIR}/share/metainfo/com.brenvik.Quorlen.metainfo.xml)
set(QUORLEN_DOC_DIR ${CMAKE_BINARY_DIR}/share/doc/quorlen)
set(QUORLEN_DOCUMENTATION_FILES "")

# The page PROGRAM.1 and its compressed copy PROGRAM.1.gz, which is
# installed. gzip -n leaves out the name and time, so the same page always
# packs to the same bytes.
function(quorlen_man_page program)
  set(page ${QUORLEN_MAN_DIR}/${program}.1)
  add_custom_command(OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORLEN_MAN_DIR}
    COMMAND quorlen-helpdoc man $<TARGET_FILE:${program}> ${page} --date ${QUORLEN_RELEASE_DATE} ${ARGN}
    COMMAND ${QUORLEN_GZIP} -9nkf ${page}
    DEPENDS quorlen-helpdoc ${program}
    COMMENT "Making the manual page ${program}(1)"
    VERBATIM)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(QUORLEN_DOCUMENTATION_FILES ${QUORLEN_DOCUMENTATION_FILES} ${page}.gz PARENT_SCOPE)
endfunction()

if(TARGET quorlen)
  quorlen_man_page(quorlen-cli --see-also "quorlen(1)")
  quorlen_man_page(quorlen --see-also "quorlen-cli(1)")
else()
  quorlen_man_page(quorlen-cli)
endif()

add_custom_command(OUTPUT ${QUORLEN_BASH_COMPLETION}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/bash-completion/completions
  COMMAND quorlen-helpdoc bash-completion $<TARGET_FILE:quorlen-cli> ${QUORLEN_BASH_COMPLETION}
  DEPENDS quorlen-helpdoc quorlen-cli
  COMMENT "Making the bash completion of quorlen-cli"
  VERBATIM)
install(FILES ${QUORLEN_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Where the maker publishes the program; the AppStream data shows the README's
# screenshots from there.
set(QUORLEN_HOMEPAGE "https://brenvik.com/quorlen/" CACHE STRING "The program's home page, named by the package")
set(QUORLEN_SCREENSHOTS "${QUORLEN_HOMEPAGE}screenshots/" CACHE STRING
  "The web folder that holds docs/screenshots/*.png, for the AppStream data")
if(TARGET quorlen)
  configure_file(data/com.brenvik.Quorlen.metainfo.xml.in ${QUORLEN_METAINFO} @ONLY)
  install(FILES ${QUORLEN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The package's documents, /usr/share/doc/quorlen: the changelog compressed
# as Debian keeps it, and the copyright. A new version needs its entry in the
# changelog before it builds, so that the package never describes another.
file(STRINGS data/changelog QUORLEN_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT QUORLEN_CHANGELOG_TOP MATCHES "^quorlen \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/changelog does not start with an entry for version ${PROJECT_VERSION}: "
    "\"${QUORLEN_CHANGELOG_TOP}\"")
endif()
add_custom_command(OUTPUT ${QUORLEN_DOC_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORLEN_DOC_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/data/changelog ${QUORLEN_DOC_DIR}/changelog
  COMMAND ${QUORLEN_GZIP} -9nf ${QUORLEN_DOC_DIR}/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/data/changelog
  VERBATIM)
# Debian names the folder after the package, not the project.
install(FILES ${QUORLEN_DOC_DIR}/changelog.gz data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorlen)

add_custom_target(quorlen_documentation ALL DEPENDS ${QUORLEN_DOCUMENTATION_FILES} ${QUORLEN_BASH_COMPLETION}
  ${QUORLEN_DOC_DIR}/changelog.gz)
