# The Debian package an administrator installs: `make package` (cmake --build
# build --target package) writes build/quorlen_<version>_<arch>.deb with
# everything `make install` puts under a prefix, installed under /usr.

set(QUORLEN_MAINTAINER "Brenvik <quorlen@brenvik.com>" CACHE STRING
  "The package's maintainer: a name and an e-mail address")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorlen)
set(CPACK_PACKAGE_VENDOR Brenvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORLEN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORLEN_HOMEPAGE}")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs and the plug-in link come from dpkg-shlibdeps,
# so a library another part of the program starts to use is in Depends by
# itself. What is only opened at run time is named here: DejaVu Sans, the
# sheet's font through fontconfig, and Qt's Polish texts for the standard
# buttons and dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, qt6-translations-l10n")
# The window's icon is an SVG that Qt draws with its SVG plug-in; the class
# report opens in the default browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[prints answer sheets for tests and reads them back from scans
Quorlen prints answer sheets for paper multiple-choice tests and
questionnaires (3 to 200 questions, 2 to 16 answer boxes, single or
multiple choice, optional pre-printed sheet codes) and reads them back
from scans on every processor core. It straightens each scan, finds the
printed frame, the sheet code and the blackened boxes, and asks the
operator about the marks it cannot decide.
.
The results are saved as JSON, CSV or Excel files or into an SQLite
database, scored against an answer key with grades and a class report,
or returned to another program over the D-Bus session bus.
.
The package holds the desktop program (in Polish), the command-line tool
quorlen-cli, the exporter plug-in and its C header, and a demo project.]=])

# Files for the package alone, which `make install` leaves out: the package
# installs everything and this component besides.
install(FILES data/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quorlen
  COMPONENT DebianPackage EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quorlen;ALL;/;${CMAKE_BINARY_DIR};Quorlen;DebianPackage;/")

include(CPack)
