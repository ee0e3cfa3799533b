# macOS: lumadoc-installer as LumadocInstaller.app.
#
#   Contents/Info.plist          from resources/macos/Info.plist.in
#   Contents/MacOS/LumadocInstaller
#   Contents/Resources/AppIcon.icns, qfmt.dat, qctrl.dat
#   Contents/Resources/Licenses/  the notices and licence texts of what it ships
#
# The release steps (deployment of Qt, signing, notarisation, the channel's
# name, the disk image) are scripts/macos-release.

set(LUMADOC_BUNDLE_EXECUTABLE LumadocInstaller)
set_target_properties(lumadoc-installer PROPERTIES
  OUTPUT_NAME ${LUMADOC_BUNDLE_EXECUTABLE}
  MACOSX_BUNDLE TRUE
  MACOSX_BUNDLE_INFO_PLIST ${CMAKE_CURRENT_BINARY_DIR}/Info.plist
  XCODE_ATTRIBUTE_PRODUCT_BUNDLE_IDENTIFIER com.lumadoc.LumadocInstaller)
set(LUMADOC_COPYRIGHT "Copyright © 2026 Lumadoc GmbH. All rights reserved.")
# The languages it declares are exactly those it carries a text table for.
file(GLOB _tables ${PROJECT_SOURCE_DIR}/resources/i18n/*.ts)
set(LUMADOC_BUNDLE_LOCALIZATIONS "")
foreach(_table ${_tables})
  get_filename_component(_language ${_table} NAME_WE)
  string(APPEND LUMADOC_BUNDLE_LOCALIZATIONS "\t\t<string>${_language}</string>\n")
endforeach()
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

# What the bundle ships of others: Qt (LGPL, kept as replaceable frameworks by
# macdeployqt) and libcrypto (Apache 2.0), with the project's own copyright.
set(_licenses ${PROJECT_SOURCE_DIR}/resources/macos/licenses)
configure_file(${_licenses}/Notices.txt.in ${CMAKE_CURRENT_BINARY_DIR}/Notices.txt @ONLY)
set(_notices ${CMAKE_CURRENT_BINARY_DIR}/Notices.txt
  ${_licenses}/LGPL-3.0.txt ${_licenses}/GPL-3.0.txt ${_licenses}/Apache-2.0.txt)
set_source_files_properties(${_notices} PROPERTIES MACOSX_PACKAGE_LOCATION Resources/Licenses)
target_sources(lumadoc-installer PRIVATE ${_notices})
