# SPDX-License-Identifier: Apache-2.0
# The one version of the programs, the About box and the package: the VERSION of
# project() in the top-level CMakeLists.txt, handed to C++ through a generated
# header. Link lv_version and include "linkvane_version.h".
set(LINKVANE_APP_ID "io.github.linkvane.Linkvane" CACHE STRING
    "Reverse-DNS id of the desktop entry, the icon and the AppStream metainfo")

configure_file(${CMAKE_CURRENT_LIST_DIR}/linkvane_version.h.in
               ${CMAKE_BINARY_DIR}/generated/version/linkvane_version.h @ONLY)
add_library(lv_version INTERFACE)
target_include_directories(lv_version INTERFACE ${CMAKE_BINARY_DIR}/generated/version)

# The day the version above was released, for the metainfo; change it with the version.
set(LINKVANE_RELEASE_DATE "2026-12-08")
