# cmake --install on Linux and other POSIX systems:
#   bin/orvalix-cli
#   lib/orvalix/libFbiHdlc.so              the virtual HDLC board library
#   share/orvalix/examples/...             the example data folders
#   share/man/man1/orvalix-cli.1.gz        the manual page
#   share/doc/orvalix/README.md
# and, on a native Linux build, a Debian package of the same:
#   cpack -G DEB  ->  orvalix_<version>_<arch>.deb
include(GNUInstallDirs)

# orvalix-cli looks for the board library in ../lib/orvalix from its own folder
# (src/core/ports/hdlc_library.cpp): these two stay fixed whatever GNUInstallDirs says.
install(TARGETS orvalix-cli RUNTIME DESTINATION bin)
install(TARGETS FbiHdlc LIBRARY DESTINATION lib/orvalix)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orvalix/examples
  PATTERN "Logs" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvalix)

# Debian wants manual pages compressed; man reads either.
set(man_page ${PROJECT_SOURCE_DIR}/docs/orvalix-cli.1)
set(man_page_gz ${PROJECT_BINARY_DIR}/orvalix-cli.1.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${man_page})
file(ARCHIVE_CREATE OUTPUT ${man_page_gz} PATHS ${man_page} FORMAT raw COMPRESSION GZip
  COMPRESSION_LEVEL 9)
install(FILES ${man_page_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux" OR CMAKE_CROSSCOMPILING)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvalix)
set(CPACK_PACKAGE_VENDOR Orvalix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvalix maintainers <orvalix@example.org>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "simulator of serial, HDLC and UDP communication partners
Orvalix plays the communication partners of a device under test on serial
lines, HDLC links, UDP and TCP, as a folder of CSV files describes: what it
sends, what it expects and how it answers. orvalix-cli checks such a folder,
evaluates expressions, builds frames and runs the folder. A virtual HDLC
board and example folders come with it.")
# The libraries it links are computed from the binaries when dpkg-shlibdeps (dpkg-dev) and
# file, which CPack needs for it, are there; else the ones a g++ 12 build on Debian 12 needs.
find_program(ORVALIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(ORVALIX_FILE file)
if(ORVALIX_DPKG_SHLIBDEPS AND ORVALIX_FILE)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
endif()
include(CPack)
