# macOS: lumadoc-installer as LumadocInstaller.app.
#
#   Contents/Info.plist          from resources/macos/Info.plist.in
#   Contents/MacOS/LumadocInstaller
#   Contents/Resources/AppIcon.icns, qfmt.dat, qctrl.dat
#
# The release steps (deployment of Qt, signing, notarisation, the channel's
# name, the disk image) are scripts/macos-release.

set(LUMADOC_BUNDLE_EXECUTABLE LumadocInstaller)
set_target_properties(lumadoc-installer PROPERTIES
  OUTPUT_NAME ${LUMADOC_BUNDLE_EXECUTABLE}
  MACOSX_BUNDLE TRUE
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/Info.plist
  XCODE_ATTRIBUTE_PRODUCT_BUNDLE_IDENTIFIER com.lumadoc.LumadocInstaller)
# Filled now with @ONLY; CMake's own pass over the file then finds nothing left.
configure_file(${PROJECT_SOURCE_DIR}/resources/macos/Info.plist.in
  ${CMAKE_CURRENT_BINARY_DIR}/Info.plist @ONLY)

# The icon: the PNG set drawn from the SVG art, then iconutil.
set(_svg ${PROJECT_SOURCE_DIR}/resources/macos/AppIcon.svg)
set(_iconset ${CMAKE_CURRENT_BINARY_DIR}/AppIcon.iconset)
set(_icns ${CMAKE_CURRENT_BINARY_DIR}/AppIcon.icns)
find_program(LUMADOC_ICONUTIL iconutil REQUIRED)
add_custom_command(OUTPUT ${_icns}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_iconset}
  COMMAND lumadoc-iconset ${_svg} ${_iconset}
  COMMAND ${LUMADOC_ICONUTIL} -c icns -o ${_icns} ${_iconset}
  DEPENDS lumadoc-iconset ${_svg}
  COMMENT "Making AppIcon.icns"
  VERBATIM)

# Data files the installer reads from Contents/Resources.
set(_resources ${_icns}
  ${PROJECT_SOURCE_DIR}/resources/data/qfmt.dat
  ${PROJECT_SOURCE_DIR}/resources/data/qctrl.dat)
set_source_files_properties(${_resources} PROPERTIES MACOSX_PACKAGE_LOCATION Resources)
target_sources(lumadoc-installer PRIVATE ${_resources})
