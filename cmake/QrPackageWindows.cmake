# The Windows zip (`cpack` in the mingw build tree): tessera-cli.exe and kestrel-cli.exe
# with their documentation. Both are linked statically (the toolchain file's -static), so
# they need no DLL beside them, only the system's own.
install(TARGETS tessera-cli kestrel-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/tessera-cli.md
              ${PROJECT_SOURCE_DIR}/docs/config-json.md
        DESTINATION docs)
install(FILES ${PROJECT_SOURCE_DIR}/kestrel/cli/README.md DESTINATION docs RENAME kestrel-cli.md)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME qr-tools-cli)
set(CPACK_PACKAGE_VENDOR "QR5830 tools")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
