# SPDX-License-Identifier: Apache-2.0
# The Debian package, made by CPack from the installed tree (scripts/package.sh
# builds it from a fresh build folder). The run-time dependencies are read off
# the programs by dpkg-shlibdeps, so they follow the Qt the build linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME linkvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Linkvane developers")
set(CPACK_PACKAGE_CONTACT "Linkvane developers <dev@linkvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and configure small devices on the local network")
set(CPACK_PACKAGE_DESCRIPTION
    "Linkvane finds serial-to-Ethernet converters, Ethernet digital-I/O modules
and radio modules on the local network segment by UDP broadcast, fetches a
device's configuration into the setup window of its model and sends back only
the settings that were changed.
.
The package holds the desktop program linkvane, the command-line tool
linkvane-cli for scripts and fleets of devices, and linkvane-devsim, a LAN of
simulated devices for trying the tools out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${LINKVANE_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
