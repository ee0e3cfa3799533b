# Install rules: `cmake --install <build> --prefix P` gives P/bin and P/share
# as the installer finds them (its data files beside it, in
# ../share/lumadoc-installer). Two components: `installer` for users and
# `devtools` (the local server and the stand-in product); cmake/Package.cmake
# makes a .deb of each and one .tar.gz of both.
# The macOS bundle has release steps of its own (src/app/MacBundle.cmake).
if(APPLE)
  return()
endif()
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Releases.cmake)

set(LUMADOC_DEB_REVISION 1 CACHE STRING "Debian revision of the packages")
set(LUMADOC_DEB_VERSION ${PROJECT_VERSION}-${LUMADOC_DEB_REVISION})
set(LUMADOC_SCREENSHOT_BASE_URL "${LUMADOC_WEB_BASE_URL}/installer/screenshots"
  CACHE STRING "Where the release publishes docs/*.png, for the AppStream metainfo")
set(CPACK_PACKAGE_CONTACT "Lumadoc <support@lumadoc.com>")
set(_gen ${CMAKE_BINARY_DIR}/package-files)
set(_outputs)

# Icons for the hicolor theme, drawn at build time from the one SVG the
# macOS icon uses too.
set(_icon_svg ${PROJECT_SOURCE_DIR}/resources/macos/AppIcon.svg)
set(_icon_sizes 48 64 128 256)
set(_icon_pngs)
foreach(_size ${_icon_sizes})
  list(APPEND _icon_pngs ${_gen}/icons/${_size}x${_size}.png)
endforeach()
add_custom_command(OUTPUT ${_icon_pngs}
  COMMAND lumadoc-iconset --hicolor ${_icon_svg} ${_gen}/icons
  DEPENDS lumadoc-iconset ${_icon_svg}
  COMMENT "Drawing the hicolor icons"
  VERBATIM)
list(APPEND _outputs ${_icon_pngs})

# The releases, for the metainfo and the Debian changelog (an entry per
# release, pointing at the upstream changelog).
lumadoc_releases(_versions _dates)
set(LUMADOC_METAINFO_RELEASES "")
set(_debian_changelog "")
set(_index 0)
foreach(_version _date IN ZIP_LISTS _versions _dates)
  string(APPEND LUMADOC_METAINFO_RELEASES
    "    <release version=\"${_version}\" date=\"${_date}\"/>\n")
  # Releases of one day follow each other by the hour: Debian wants every
  # entry newer than the one before.
  list(SUBLIST _dates ${_index} -1 _older)
  list(FILTER _older INCLUDE REGEX "^${_date}$")
  list(LENGTH _older _same_day)
  math(EXPR _hour "${_same_day} - 1")
  string(LENGTH "${_hour}" _digits)
  if(_digits LESS 2)
    set(_hour 0${_hour})
  endif()
  lumadoc_rfc2822_date(_when ${_date} ${_hour})
  math(EXPR _index "${_index} + 1")
  string(APPEND _debian_changelog
    "lumadoc-installer (${_version}-${LUMADOC_DEB_REVISION}) stable; urgency=medium\n\n"
    "  * Release ${_version}; changelog.gz lists what changed.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${_when}\n\n")
endforeach()
string(STRIP "${LUMADOC_METAINFO_RELEASES}" LUMADOC_METAINFO_RELEASES)
string(PREPEND LUMADOC_METAINFO_RELEASES "    ")
string(STRIP "${_debian_changelog}" _debian_changelog)
if(NOT _versions MATCHES "^${PROJECT_VERSION};?")
  # Not released yet: the package's own version heads its changelog.
  string(TIMESTAMP _today "%Y-%m-%d" UTC)
  lumadoc_rfc2822_date(_when ${_today})
  string(PREPEND _debian_changelog
    "lumadoc-installer (${LUMADOC_DEB_VERSION}) UNRELEASED; urgency=medium\n\n"
    "  * Not released yet.\n\n -- ${CPACK_PACKAGE_CONTACT}  ${_when}\n\n")
endif()
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/com.lumadoc.Installer.metainfo.xml.in
  ${_gen}/com.lumadoc.Installer.metainfo.xml @ONLY)
file(CONFIGURE OUTPUT ${_gen}/changelog.Debian CONTENT "${_debian_changelog}\n")

# Debian's rule for what lies in share/doc and share/man: gzip -9n, so the
# files carry neither a name nor a time.
find_program(LUMADOC_GZIP gzip REQUIRED)
# A copy in gz/ is compressed in place: the source stays for the next build.
function(lumadoc_gzip source name)
  set(_out ${_gen}/gz/${name}.gz)
  add_custom_command(OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${_gen}/gz/${name}
    COMMAND ${LUMADOC_GZIP} -9nf ${_gen}/gz/${name}
    DEPENDS ${source}
    VERBATIM)
  set(_outputs ${_outputs} ${_out} PARENT_SCOPE)
endfunction()
lumadoc_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG.md changelog)
lumadoc_gzip(${_gen}/changelog.Debian changelog.Debian)
foreach(_program lumadoc-installer lumadoc-devserver lumadoc-fakeproduct)
  lumadoc_gzip(${PROJECT_SOURCE_DIR}/docs/${_program}.1 ${_program}.1)
endforeach()
add_custom_target(lumadoc_package_files ALL DEPENDS ${_outputs})

# A program of a component. Stripped (cpack, install --strip) the way Debian
# strips, without the compilers' .comment and .note sections.
function(lumadoc_strip_installed file component)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()" COMPONENT ${component})
endfunction()

function(lumadoc_install_program target component)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  lumadoc_strip_installed(${CMAKE_INSTALL_BINDIR}/${target} ${component})
  install(FILES ${_gen}/gz/${target}.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()

lumadoc_install_program(lumadoc-installer installer)
# The window's module, where the installer looks for it (../${LUMADOC_MODULE_DIR}).
install(TARGETS lumadoc-installer-window
  LIBRARY DESTINATION ${LUMADOC_MODULE_DIR} COMPONENT installer
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
lumadoc_strip_installed(${LUMADOC_MODULE_DIR}/lumadoc-installer-window.so installer)
lumadoc_install_program(lumadoc-devserver devtools)
lumadoc_install_program(lumadoc-fakeproduct devtools)

install(FILES ${PROJECT_SOURCE_DIR}/resources/data/qfmt.dat
              ${PROJECT_SOURCE_DIR}/resources/data/qctrl.dat
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lumadoc-installer COMPONENT installer)
install(FILES ${PROJECT_SOURCE_DIR}/resources/linux/com.lumadoc.Installer.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT installer)
install(FILES ${_gen}/com.lumadoc.Installer.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT installer)
install(FILES ${_icon_svg}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME com.lumadoc.Installer.svg COMPONENT installer)
foreach(_size ${_icon_sizes})
  install(FILES ${_gen}/icons/${_size}x${_size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
    RENAME com.lumadoc.Installer.png COMPONENT installer)
endforeach()
foreach(_package_component lumadoc-installer:installer lumadoc-installer-devtools:devtools)
  string(REPLACE ":" ";" _pair ${_package_component})
  list(GET _pair 0 _package)
  list(GET _pair 1 _component)
  install(FILES ${PROJECT_SOURCE_DIR}/COPYRIGHT
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package}
    RENAME copyright COMPONENT ${_component})
  install(FILES ${_gen}/gz/changelog.gz ${_gen}/gz/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_package} COMPONENT ${_component})
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
