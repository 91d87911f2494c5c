# Install layout and the Debian package.
#
#   cmake --install build --prefix /usr/local      (or DESTDIR=... for staging)
#   cpack --config build/CPackConfig.cmake -G DEB  (from the build directory)
#
# Data go to share/zarlink, where FileLocator looks relative to bin/, so a
# prefix moved elsewhere still finds them.
include(GNUInstallDirs)

set(ZAR_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/zarlink)

install(TARGETS zarctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(ZAR_BUILD_GUI)
  install(TARGETS zarlink RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${ZAR_INSTALL_DATADIR})

set(ZAR_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
install(FILES ${ZAR_PACKAGING}/zarlink.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ZAR_PACKAGING}/zarlink.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ZAR_PACKAGING}/icons/zarlink.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${ZAR_PACKAGING}/icons/zarlink-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zarlink.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/zarlink.1 ${CMAKE_SOURCE_DIR}/docs/man/zarctl.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ZAR_PACKAGING}/zarctl.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zarctl)
install(FILES ${ZAR_PACKAGING}/60-zarlink-serial.rules DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${ZAR_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# ---- Debian package: zarlink_<version>_amd64.deb
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarlink)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "zarlink developers <zarlink@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NC programs, parameters and PLC programs to and from ZAR controllers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Moves NC programs, parameters and PLC programs between a PC and a ZAR-series\n NC controller over RS-232: a desktop program (zarlink), a command-line tool\n (zarctl) and a virtual controller for training.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, out of dpkg-shlibdeps' sight.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-arphic-uming, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The debug information stays in the build tree.
set(CPACK_STRIP_FILES ON)
include(CPack)
