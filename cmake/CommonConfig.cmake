# SPDX-License-Identifier: Apache-2.0
# One INTERFACE target carries the language standard, warnings and Qt defines;
# every target of the project links it.
add_library(linkvane_common INTERFACE)
target_compile_features(linkvane_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(linkvane_common INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
# CI builds with warnings as errors, so that no warning lands; a developer's build only shows them.
option(LINKVANE_WERROR "Treat warnings in Linkvane's own code as errors" OFF)
if(LINKVANE_WERROR)
    target_compile_options(linkvane_common INTERFACE -Werror)
endif()
target_compile_definitions(linkvane_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_KEYWORDS
    QT_USE_QSTRINGBUILDER)
# windows.h without its min/max macros and rarely used parts, wherever it is included.
target_compile_definitions(linkvane_common INTERFACE $<$<PLATFORM_ID:Windows>:NOMINMAX WIN32_LEAN_AND_MEAN>)
if(LINKVANE_SANITIZE)
    target_compile_options(linkvane_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(linkvane_common INTERFACE -fsanitize=address,undefined)
endif()

# lv_add_program(<library> <program> [DIRS dir ...] LIBS ...): the sources of the current folder and of
# its DIRS, but main.cpp, as a static library (so the tests drive the very same code), and the program
# from main.cpp over it. Each folder is an include directory: a header is included by its name alone.
function(lv_add_program library program)
    cmake_parse_arguments(P "" "" "DIRS;LIBS" ${ARGN})
    set(dirs ${CMAKE_CURRENT_SOURCE_DIR})
    foreach(dir IN LISTS P_DIRS)
        list(APPEND dirs ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    endforeach()
    set(sources)
    foreach(dir IN LISTS dirs)
        file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
        list(APPEND sources ${found})
    endforeach()
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
    add_library(${library} STATIC ${sources})
    target_include_directories(${library} PUBLIC ${dirs})
    target_link_libraries(${library} PUBLIC ${P_LIBS})
    add_executable(${program} main.cpp)
    target_link_libraries(${program} PRIVATE ${library})
endfunction()
