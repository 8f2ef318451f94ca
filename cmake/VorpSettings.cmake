# SPDX-License-Identifier: GPL-3.0-or-later
# Settings shared by every target of the project.
add_library(vorp_settings INTERFACE)
target_compile_features(vorp_settings INTERFACE cxx_std_20)
target_compile_definitions(vorp_settings INTERFACE QT_NO_CAST_FROM_ASCII)
target_compile_options(vorp_settings INTERFACE -Wall -Wextra -Wpedantic)
if(VORP_WERROR)
    target_compile_options(vorp_settings INTERFACE -Werror)
endif()
if(VORP_SANITIZE)
    target_compile_options(vorp_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                   -fno-sanitize-recover=undefined)
    target_link_options(vorp_settings INTERFACE -fsanitize=address,undefined)
endif()

if(VORP_FUZZ)
    target_compile_options(vorp_settings INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(vorp_settings INTERFACE -fsanitize=address,undefined)
endif()

# vorp_library(<name> SOURCES ... LIBS ...): one static library per subsystem folder.
function(vorp_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC vorp_settings ${ARG_LIBS})
endfunction()
