# Installation into the usual freedesktop places, and a Debian package (cpack -G DEB).

if(TELVANE_BUILD_APP)
    install(FILES res/telvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES res/dish-antenna.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
            RENAME telvane.png)
endif()

set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VENDOR "VORTA Laboratory")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ORBEL-K CubeSat CW beacon converter")
set(CPACK_PACKAGE_DESCRIPTION
    "Telvane decodes the six-line CW telemetry beacon of the ORBEL-K CubeSat into the status "
    "report ground stations send to the satellite team: a desktop dialog and a command-line "
    "converter with JSON and CSV output.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VORTA Laboratory <orbel-k@vorta.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
