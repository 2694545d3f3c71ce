# SPDX-License-Identifier: Apache-2.0
# What `cmake --install` puts in place: the three programs in bin/ and, on
# free desktops, the desktop entry, the icons, the AppStream metainfo and the
# manual pages. The package (cmake/Packaging.cmake) is made from this tree.
include(GNUInstallDirs)

set(LINKVANE_HOMEPAGE "https://github.com/linkvane/linkvane" CACHE STRING
    "Home page named by the metainfo and the package; its raw/main/ holds the screenshots")

install(TARGETS linkvane linkvane-cli linkvane-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT UNIX OR APPLE)
    return()
endif()

set(LINKVANE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(LINKVANE_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated/data)

install(FILES ${LINKVANE_DATA_DIR}/${LINKVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${LINKVANE_DATA_DIR}/${LINKVANE_APP_ID}.metainfo.xml.in
               ${LINKVANE_GENERATED_DIR}/${LINKVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${LINKVANE_GENERATED_DIR}/${LINKVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${LINKVANE_DATA_DIR}/icons/${LINKVANE_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${LINKVANE_DATA_DIR}/icons/${LINKVANE_APP_ID}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${LINKVANE_APP_ID}.png)
endforeach()

# Manual pages and the package's changelog: the version is filled in, then they
# are compressed as Debian installs them (gzip -n keeps the output the same
# from build to build).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed)
foreach(page linkvane linkvane-cli linkvane-devsim)
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1.in ${LINKVANE_GENERATED_DIR}/man/${page}.1 @ONLY)
    list(APPEND compressed man/${page}.1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${LINKVANE_GENERATED_DIR}/doc/changelog @ONLY)
list(APPEND compressed doc/changelog)
set(compressed_outputs)
foreach(file ${compressed})
    add_custom_command(OUTPUT ${LINKVANE_GENERATED_DIR}/${file}.gz
        COMMAND ${GZIP_PROGRAM} -9 -n -f -k ${file}
        DEPENDS ${LINKVANE_GENERATED_DIR}/${file}
        WORKING_DIRECTORY ${LINKVANE_GENERATED_DIR}
        VERBATIM)
    list(APPEND compressed_outputs ${LINKVANE_GENERATED_DIR}/${file}.gz)
endforeach()
add_custom_target(lv_compressed_docs ALL DEPENDS ${compressed_outputs})

foreach(page linkvane linkvane-cli linkvane-devsim)
    install(FILES ${LINKVANE_GENERATED_DIR}/man/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# Shell completion, written by the CLI itself from its command registry, so it offers exactly the
# commands and options the program takes. A cross-built CLI cannot run here; Windows has no such shells.
if(NOT CMAKE_CROSSCOMPILING)
    set(completion_dir ${PROJECT_BINARY_DIR}/generated/completion)
    add_custom_command(OUTPUT ${completion_dir}/linkvane-cli ${completion_dir}/_linkvane-cli
        COMMAND ${CMAKE_COMMAND} -E make_directory ${completion_dir}
        COMMAND $<TARGET_FILE:linkvane-cli> --completion bash > ${completion_dir}/linkvane-cli
        COMMAND $<TARGET_FILE:linkvane-cli> --completion zsh > ${completion_dir}/_linkvane-cli
        DEPENDS linkvane-cli
        VERBATIM)
    add_custom_target(lv_completion ALL DEPENDS ${completion_dir}/linkvane-cli ${completion_dir}/_linkvane-cli)
    install(FILES ${completion_dir}/linkvane-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
    # zsh reads vendor-completions only under /usr (Debian's place, kept for the package); under any
    # other prefix (/usr/local, ~/.local) site-functions is the folder of a zsh's fpath. The prefix is
    # known only when installing (cmake --install --prefix), so the choice is made then.
    install(CODE "
        if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
            set(lv_zsh_dir \"${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions\")
        else()
            set(lv_zsh_dir \"${CMAKE_INSTALL_DATADIR}/zsh/site-functions\")
        endif()
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${lv_zsh_dir}\" TYPE FILE
             FILES \"${completion_dir}/_linkvane-cli\")")
endif()
install(FILES ${LINKVANE_GENERATED_DIR}/doc/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/linkvane)
