# The Windows zip (`make package-windows`): one folder holding the four programs, the
# demo's sample image, a README and the license; the user puts Velt-USB.bin beside the window program.
#   velt-usb-firmware-<version>-windows-x86/
#     Velt-USB Firmware.exe  Velt-USB Production.exe  velt-usb-flash.exe
#     velt-usb-firmware-demo.exe  README.txt  LICENSE.txt
#     demo-image/Velt-USB.bin
# With VELT_SIGN_CERT and VELT_SIGN_KEY (PEM files) the programs are signed as they go in.
set(VELT_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM) for the Windows programs")
set(VELT_SIGN_KEY "" CACHE FILEPATH "Its private key (PEM)")

set(velt_windows_programs)
foreach(program velt-usb-firmware velt-usb-production velt-usb-flash velt-usb-firmware-demo)
    if(TARGET ${program})
        list(APPEND velt_windows_programs ${program})
    endif()
endforeach()
install(TARGETS ${velt_windows_programs} RUNTIME DESTINATION .)
# Text files with Windows line ends: older Notepad shows a file with bare line feeds as
# one long line.
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/README.txt ${PROJECT_BINARY_DIR}/dist/README.lf @ONLY)
function(velt_install_crlf source name)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${PROJECT_BINARY_DIR}/dist/${name} "${content}")
    install(FILES ${PROJECT_BINARY_DIR}/dist/${name} DESTINATION .)
endfunction()
velt_install_crlf(${PROJECT_BINARY_DIR}/dist/README.lf README.txt)
velt_install_crlf(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/demo-image/${VELT_IMAGE_NAME}
    DESTINATION demo-image)

if(VELT_SIGN_CERT AND VELT_SIGN_KEY)
    foreach(program IN LISTS velt_windows_programs)
        install(CODE "execute_process(
            COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh
                \"${VELT_SIGN_CERT}\" \"${VELT_SIGN_KEY}\"
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:${program}>\"
            COMMAND_ERROR_IS_FATAL ANY)")
    endforeach()
endif()

set(CPACK_PACKAGE_NAME velt-usb-firmware)
set(CPACK_PACKAGE_VENDOR "Velt-USB Firmware developers")
set(CPACK_PACKAGE_VERSION ${VELT_VERSION_TEXT})
set(CPACK_PACKAGE_FILE_NAME "velt-usb-firmware-${VELT_VERSION_TEXT}-windows-x86")
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
