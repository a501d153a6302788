# The Windows zip (`make package-windows`): one folder holding the three programs, the
# demo's sample image and a README; the user puts Velt-USB.bin beside the window program.
#   velt-usb-firmware-<version>-windows-x86/
#     Velt-USB Firmware.exe  velt-usb-flash.exe  velt-usb-firmware-demo.exe  README.txt
#     demo-image/Velt-USB.bin
# With VELT_SIGN_CERT and VELT_SIGN_KEY (PEM files) the programs are signed as they go in.
set(VELT_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM) for the Windows programs")
set(VELT_SIGN_KEY "" CACHE FILEPATH "Its private key (PEM)")

set(velt_windows_programs)
foreach(program velt-usb-firmware velt-usb-flash velt-usb-firmware-demo)
    if(TARGET ${program})
        list(APPEND velt_windows_programs ${program})
    endif()
endforeach()
install(TARGETS ${velt_windows_programs} RUNTIME DESTINATION .)
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/README.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
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
