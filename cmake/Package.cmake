# CPack: `cpack --preset ci` makes lumadoc-installer_<version>-<revision>_<arch>.deb
# (the installer), lumadoc-installer-devtools_…deb (the local server and the
# stand-in product) and one .tar.gz of both, named with the processor.
set(CPACK_PACKAGE_NAME lumadoc-installer)
set(CPACK_PACKAGE_VENDOR "Lumadoc")
set(CPACK_PACKAGE_HOMEPAGE_URL "${LUMADOC_WEB_BASE_URL}")
set(CPACK_PACKAGE_FILE_NAME
  "lumadoc-installer-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL installer devtools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LUMADOC_DEB_REVISION})
set(CPACK_DEBIAN_PACKAGE_SOURCE lumadoc-installer)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# Each description's first line is its summary; the others stay under 80
# columns, as Debian's tools require.
set(CPACK_DEBIAN_INSTALLER_PACKAGE_NAME lumadoc-installer)
set(CPACK_DEBIAN_INSTALLER_PACKAGE_SECTION utils)
# The tools the installer runs by name, and Qt's platform plugins, which the
# window loads at run time.
set(CPACK_DEBIAN_INSTALLER_PACKAGE_DEPENDS "7zip, procps, qt6-qpa-plugins")
set(CPACK_DEBIAN_INSTALLER_DESCRIPTION "web installer of the Lumadoc PDF reader
Downloads the Lumadoc PDF reader for this processor, replaces the installed
application while keeping a backup, records the installation and starts the
reader. The window has a silent mode for unattended installs; an interrupted
installation is finished or undone at the next start.")

set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_NAME lumadoc-installer-devtools)
set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_SECTION devel)
# lumadoc-fakeproduct writes its disk images with genisoimage.
set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_DEPENDS "genisoimage")
set(CPACK_DEBIAN_DEVTOOLS_DESCRIPTION "staging tools for the Lumadoc web installer
lumadoc-devserver serves product packages and accepts telemetry posts on the
loopback interface, with faults on request (cut connections, stalls, error
statuses, signed manifests). lumadoc-fakeproduct writes a stand-in product and
its disk image. Both are for demos and tests of lumadoc-installer.")

include(CPack)
cpack_add_component(installer DISPLAY_NAME "Lumadoc installer")
cpack_add_component(devtools DISPLAY_NAME "Staging tools")
