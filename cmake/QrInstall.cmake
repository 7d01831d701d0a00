# Installation and Debian packages: `cmake --install` puts the programs, their desktop
# entries, icons, translations and documentation under CMAKE_INSTALL_PREFIX; `cpack -G DEB`
# makes one package per tool:
#   tessera  tessera (window), tessera-cli, tessera-board-sim
#   kestrel  kestrel (window), kestrel-cli, kestrel-adapter-sim, the udev rule for the adapters
# Programs that a build does not make (the windows without Qt, for instance) are left out.
include(GNUInstallDirs)

set(QR_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# qr_install_tool(tool PROGRAMS ... DOCS ...)
function(qr_install_tool tool)
  cmake_parse_arguments(A "" "" "PROGRAMS;DOCS" ${ARGN})
  foreach(program IN LISTS A_PROGRAMS)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${tool})
    endif()
  endforeach()
  # The window: its desktop entry and icon, only when it is built.
  if(TARGET ${tool})
    install(FILES ${QR_PACKAGING_DIR}/${tool}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${tool})
    set(icon ${PROJECT_SOURCE_DIR}/resources/${tool}/icons/${tool}.svg)
    if(EXISTS ${icon})
      install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT ${tool})
    endif()
  endif()
  # Translations: the windows carry them as resources; the compiled files are also
  # installed for translators and for tools that read them from disk.
  set(built ${PROJECT_BINARY_DIR}/${tool})
  set(dest ${CMAKE_INSTALL_DATADIR}/${tool}/translations)
  install(CODE "file(GLOB_RECURSE qm \"${built}/*.qm\")
    if(qm)
      file(INSTALL \${qm} DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${dest}\")
    endif()" COMPONENT ${tool})
  foreach(doc IN LISTS A_DOCS)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${doc})
      install(FILES ${PROJECT_SOURCE_DIR}/${doc} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${tool} COMPONENT ${tool})
    endif()
  endforeach()
endfunction()

qr_install_tool(tessera PROGRAMS tessera tessera-cli tessera-tune tessera-board-sim
                DOCS README.md docs/tessera-cli.md docs/config-json.md)
qr_install_tool(kestrel PROGRAMS kestrel kestrel-cli kestrel-adapter-sim
                DOCS README.md docs/kestrel-transport.md)
install(FILES ${PROJECT_SOURCE_DIR}/kestrel/cli/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrel
        RENAME kestrel-cli.md COMPONENT kestrel)
# Under the /usr prefix of the package: /usr/lib/udev/rules.d, which udev reads.
install(FILES ${QR_PACKAGING_DIR}/60-kestrel-adapter.rules DESTINATION lib/udev/rules.d COMPONENT kestrel)

set(CPACK_PACKAGE_NAME qr-tools)
set(CPACK_PACKAGE_VENDOR "QR5830 tools")
set(CPACK_PACKAGE_CONTACT "QR5830 tools maintainers <tools@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tessera kestrel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_TESSERA_PACKAGE_NAME tessera)
set(CPACK_DEBIAN_KESTREL_PACKAGE_NAME kestrel)
set(CPACK_COMPONENT_TESSERA_DESCRIPTION
    "QR5830/QR5840 configuration tool\nThe eight pages of settings of a configuration file, and the plain and CRC\nflash images that merge firmware, configuration record and voice prompts;\ntessera-cli does the same without a window.")
set(CPACK_COMPONENT_KESTREL_DESCRIPTION
    "QR5830/QR5840 production download tool\nBurns a flash image into up to four boards at once through USB download\nadapters, one Bluetooth address each, and verifies by read-back; kestrel-cli\ndoes the same without a window, kestrel-adapter-sim simulates the adapters.")
# The window's Chinese OK/Cancel come from Qt's own translations.
set(CPACK_DEBIAN_TESSERA_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_KESTREL_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_KESTREL_PACKAGE_CONTROL_EXTRA ${QR_PACKAGING_DIR}/kestrel/postinst)
set(CPACK_DEBIAN_KESTREL_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
