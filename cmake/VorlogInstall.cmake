# Installing like any Linux program: the three programs in bin/, the manual, the sounds and
# the optional udev rule and limits file in share/vorlog/, a desktop entry, the icon, the file types and the
# man page where desktops and man look for them. `cpack -G DEB` packs the same tree.
include(GNUInstallDirs)

install(TARGETS vorlog vorlog-cli klaxor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(_vorlog_share ${CMAKE_INSTALL_DATADIR}/vorlog)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help/ DESTINATION ${_vorlog_share}/help)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/sounds/ DESTINATION ${_vorlog_share}/sounds)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/99-vorlog-ftdi-latency.rules DESTINATION ${_vorlog_share}/udev)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/95-vorlog-realtime.conf DESTINATION ${_vorlog_share}/limits)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/vorlog.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/vorlog.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/vorlog-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME vorlog.xml)

# Man pages are installed compressed, as Debian's man expects them.
set(_man_gz ${CMAKE_BINARY_DIR}/share/man/man1/vorlog-cli.1.gz)
add_custom_command(OUTPUT ${_man_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share/man/man1
  COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/docs/man/vorlog-cli.1 > ${_man_gz}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/vorlog-cli.1 VERBATIM)
add_custom_target(vorlog_man ALL DEPENDS ${_man_gz})
install(FILES ${_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlog)
set(CPACK_PACKAGE_VENDOR "Quarnel")
set(CPACK_PACKAGE_CONTACT "Quarnel support <support@quarnel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and recorder for RS-232 (V.24) links")
set(CPACK_PACKAGE_DESCRIPTION "Vorlog watches and records an RS-232 link between two devices through a\n\
monitoring Y-cable on two serial ports: every byte and every handshake change\n\
becomes a time-stamped event. Recordings are shown in three views and six\n\
character codes, searched, measured, exported as CSV, raw data or Wireshark\n\
captures, and printed. Triggers start and stop recordings, sound alarms or run\n\
commands. Includes the command-line tool vorlog-cli and the alerter klaxor.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quarnel.example/")
# The shared libraries come from dpkg-shlibdeps; Qt's plugins are loaded at run time and
# are named here: the X11 and Wayland platforms, TLS for the update check.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(VORLOG_DEB_RUNTIME_DEPENDS "qt6-qpa-plugins, libqt6network6" CACHE STRING "Packages the programs load at run time")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VORLOG_DEB_RUNTIME_DEPENDS}")
# Opening the manual, links and mails; checking certificates; running on Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, ca-certificates, qt6-wayland")
include(CPack)
