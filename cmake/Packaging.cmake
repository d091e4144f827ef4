# The Windows package: one folder with Orvalix.exe, orvalix-cli.exe and the virtual HDLC board
# library (FbiHdlc.dll, which the program finds beside itself), plus the example data folders.
#   cmake --build --preset windows-release --target package  ->  build/windows-release/Orvalix-<version>-win64.zip
install(TARGETS Orvalix orvalix-cli RUNTIME DESTINATION .)
install(TARGETS FbiHdlc RUNTIME DESTINATION . LIBRARY DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples
  PATTERN "Logs" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Orvalix)
set(CPACK_PACKAGE_VENDOR Orvalix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
