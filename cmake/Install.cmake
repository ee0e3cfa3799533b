# Install rules and packages: `cmake --install <build> --prefix P` gives
# P/bin and P/share as the installer finds them (its data files beside it, in
# ../share/lumadoc-installer); `cpack --preset ci` makes a .deb and a .tar.gz.
# The macOS bundle has release steps of its own (src/app/MacBundle.cmake).
if(APPLE)
  return()
endif()
include(GNUInstallDirs)

# The 256 px icon, drawn at build time from the one SVG the macOS icon uses too.
set(_icon_svg ${PROJECT_SOURCE_DIR}/resources/macos/AppIcon.svg)
set(_icon_png ${CMAKE_BINARY_DIR}/icons.iconset/icon_256x256.png)
add_custom_command(OUTPUT ${_icon_png}
  COMMAND lumadoc-iconset ${_icon_svg} ${CMAKE_BINARY_DIR}/icons.iconset
  DEPENDS lumadoc-iconset ${_icon_svg}
  COMMENT "Drawing the 256 px icon"
  VERBATIM)
add_custom_target(lumadoc_icon_png ALL DEPENDS ${_icon_png})

install(TARGETS lumadoc-installer lumadoc-devserver lumadoc-fakeproduct
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/data/qfmt.dat
              ${PROJECT_SOURCE_DIR}/resources/data/qctrl.dat
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lumadoc-installer)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/com.lumadoc.Installer.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_icon_svg}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME com.lumadoc.Installer.svg)
install(FILES ${_icon_png}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  RENAME com.lumadoc.Installer.png)
install(FILES ${PROJECT_SOURCE_DIR}/docs/lumadoc-installer.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME lumadoc-installer)
set(CPACK_PACKAGE_VENDOR "Lumadoc")
set(CPACK_PACKAGE_CONTACT "Lumadoc <support@lumadoc.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Web installer of the Lumadoc PDF reader")
set(CPACK_PACKAGE_DESCRIPTION "Downloads the Lumadoc PDF reader for this processor, \
replaces the installed application, records the installation and starts it; \
with a local package and telemetry server for staging.")
set(CPACK_PACKAGE_HOMEPAGE_URL "${LUMADOC_WEB_BASE_URL}")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries from dpkg-shlibdeps; the tools the installer runs by name, and
# Qt's platform plugins, which the window loads at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "7zip, procps, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "genisoimage")
include(CPack)
