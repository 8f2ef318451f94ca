# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules (program, desktop entry, icons, AppStream metainfo, man page) and the Debian package.
include(GNUInstallDirs)

set(VORP_ICON_SIZES 16 22 32 48 64 128)
set(VORP_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(VORP_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

# The icons are drawn by a small program at build time, so the bitmaps and the scalable copy share
# one layout and no binary files are kept in the repository.
add_executable(vorp_icongen ${VORP_PACKAGING_DIR}/icons/IconGen.cpp)
target_link_libraries(vorp_icongen PRIVATE vorp_common_widgets)
set_target_properties(vorp_icongen PROPERTIES AUTOMOC OFF)

set(icon_outputs ${VORP_PACKAGING_OUT}/vorp.svg ${VORP_PACKAGING_OUT}/vorp-symbolic.svg)
foreach(size IN LISTS VORP_ICON_SIZES)
    list(APPEND icon_outputs ${VORP_PACKAGING_OUT}/vorp-${size}.png)
endforeach()
add_custom_command(OUTPUT ${icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VORP_PACKAGING_OUT}
    # Under the sanitizers, leaks that system libraries keep for the process's life are not ours.
    COMMAND ${CMAKE_COMMAND} -E env LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp
            $<TARGET_FILE:vorp_icongen> ${VORP_PACKAGING_OUT} ${VORP_ICON_SIZES}
    DEPENDS vorp_icongen
    COMMENT "Drawing the VORP icons"
    VERBATIM)

# Debian wants man pages compressed; -n keeps the file the same from one build to the next.
add_custom_command(OUTPUT ${VORP_PACKAGING_OUT}/vorp.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VORP_PACKAGING_OUT}
    COMMAND ${CMAKE_COMMAND} -E copy ${VORP_PACKAGING_DIR}/vorp.1 ${VORP_PACKAGING_OUT}/vorp.1
    COMMAND gzip -n -9 -f ${VORP_PACKAGING_OUT}/vorp.1
    DEPENDS ${VORP_PACKAGING_DIR}/vorp.1
    COMMENT "Compressing the man page"
    VERBATIM)

add_custom_target(vorp_desktop_files ALL DEPENDS ${icon_outputs} ${VORP_PACKAGING_OUT}/vorp.1.gz)

install(TARGETS vorp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The windows' executable, which `vorp` becomes; users never run it by name.
install(TARGETS vorp-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/vorp)
# The recorder service for the user's systemd, not enabled: `systemctl --user enable --now vorp-recorder`.
# It is written at install time, once the prefix is known (`cmake --install --prefix`, the package's /usr),
# so that ExecStart names the installed program; and it goes where the user's manager looks for that
# prefix: lib/systemd/user under /usr and /usr/local, share/systemd/user elsewhere (read under
# ~/.local/share and the other $XDG_DATA_DIRS).
install(CODE "set(VORP_UNIT_TEMPLATE \"${VORP_PACKAGING_DIR}/vorp-recorder.service.in\")
              set(VORP_UNIT_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
              set(VORP_UNIT_DATADIR \"${CMAKE_INSTALL_DATADIR}\")")
install(CODE [[
    cmake_path(ABSOLUTE_PATH VORP_UNIT_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
               OUTPUT_VARIABLE CMAKE_INSTALL_FULL_BINDIR)
    cmake_path(SET prefix NORMALIZE "${CMAKE_INSTALL_PREFIX}/")
    if(prefix STREQUAL "/usr/" OR prefix STREQUAL "/usr/local/")
        set(unit_dir "${prefix}lib/systemd/user")
    else()
        cmake_path(ABSOLUTE_PATH VORP_UNIT_DATADIR BASE_DIRECTORY "${prefix}" NORMALIZE OUTPUT_VARIABLE unit_dir)
        string(APPEND unit_dir "/systemd/user")
    endif()
    # Written straight into place: two installs of one build to different prefixes can run at once.
    set(unit "$ENV{DESTDIR}${unit_dir}/vorp-recorder.service")
    message(STATUS "Installing: ${unit}")
    configure_file("${VORP_UNIT_TEMPLATE}" "${unit}" @ONLY NO_SOURCE_PERMISSIONS)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${unit}")
]])
install(FILES ${VORP_PACKAGING_DIR}/vorp.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VORP_PACKAGING_DIR}/io.github.vorp.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VORP_PACKAGING_OUT}/vorp.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
foreach(size IN LISTS VORP_ICON_SIZES)
    install(FILES ${VORP_PACKAGING_OUT}/vorp-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vorp.png)
endforeach()
install(FILES ${VORP_PACKAGING_OUT}/vorp.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The monochrome variant, which desktops that draw their panels' icons in one colour look up by this name.
install(FILES ${VORP_PACKAGING_OUT}/vorp-symbolic.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES ${VORP_PACKAGING_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vorp)

# Debian package: cpack -G DEB (or the package target) in the build folder.
set(VORP_PACKAGE_MAINTAINER "VORP developers <vorp@users.noreply.github.com>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorp)
set(CPACK_PACKAGE_VENDOR "VORP")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network traffic meter for the notification area")
# Lines under 80 characters, as Debian's package tools show them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "VORP lives in the notification area and shows the download and upload speed\n"
    "live: in its icon, in its hint and in a small always-on-top graph window.\n"
    "It records the traffic of the chosen network interfaces every five minutes\n"
    "and shows that history as day, week, month and year graphs, as totals with\n"
    "a monthly forecast, as histograms and with a stopwatch. Its interface is in\n"
    "French.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VORP_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from dpkg-shlibdeps (the xcb platform plugin ships in libqt6gui6); beyond them
# the program loads only Qt's French translation at run time.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The splash picture is drawn with DejaVu Sans (fontconfig substitutes another font without it); the
# Wayland plugin serves a session without XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-wayland")
include(CPack)
