# SPDX-License-Identifier: GPL-3.0-or-later
# "format" rewrites our sources with clang-format; "format_check" (also a test) fails when one is not
# formatted, so the tree stays as the target leaves it.
find_program(VORP_CLANG_FORMAT NAMES clang-format clang-format-14)
if(VORP_CLANG_FORMAT)
    file(GLOB_RECURSE VORP_FORMATTED_SOURCES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.cpp
        ${PROJECT_SOURCE_DIR}/packaging/*.cpp)
    add_custom_target(format COMMAND ${VORP_CLANG_FORMAT} -i ${VORP_FORMATTED_SOURCES}
        COMMENT "Formatting the sources" VERBATIM)
    add_custom_target(format_check COMMAND ${VORP_CLANG_FORMAT} --dry-run --Werror ${VORP_FORMATTED_SOURCES}
        COMMENT "Checking the sources' format" VERBATIM)
endif()
