# Installation and the Linux packages.
#
# `cmake --install <build> --prefix /usr` installs the GNU layout for distribution
# packagers: programs in bin, the udev rule in lib/udev/rules.d, the desktop entry,
# AppStream data, hicolor icons and gzipped manual pages under share.
#
# `cpack -G DEB` (or `make deb`) builds velt-usb-firmware_<version>_<arch>.deb from that
# layout under /usr, with the copyright file and changelog Debian wants (the component
# "deb", left out of a full install) and maintainer scripts that reload the udev rules.
#
# `cpack -G TGZ` (or `make package`) builds a folder that runs wherever it is unpacked:
#   velt-usb-firmware-<version>-linux-<arch>/
#     velt-usb-firmware  velt-usb-flash  velt-usb-production  README.md  LICENSE
#     velt-usb-firmware.desktop  velt-usb-production.desktop
#     udev/70-velt-usb.rules  udev/install-udev-rule.sh  icons/hicolor/<n>x<n>/apps/
# The programs sit at the top because the window program reads Velt-USB.bin from beside
# itself. That folder is the component "portable", which a full install leaves out
# (EXCLUDE_FROM_ALL) and which is the only one the archive installs.
include(GNUInstallDirs)

set(VELT_UDEV_RULES_DIR "lib/udev/rules.d"
    CACHE STRING "Install folder of the udev rule, relative to the prefix")

set(VELT_ICON_SIZES 16 32 48 128)
set(VELT_ICON_DIR ${PROJECT_BINARY_DIR}/icons/hicolor)
set(velt_linux_dist ${PROJECT_SOURCE_DIR}/dist/linux)

set(velt_have_icons OFF)
if(TARGET app_qt)
    add_subdirectory(${velt_linux_dist} ${PROJECT_BINARY_DIR}/dist/linux)
    set(velt_have_icons ON)
endif()

set(velt_programs)
foreach(program velt-usb-firmware velt-usb-flash velt-usb-production)
    if(TARGET ${program})
        list(APPEND velt_programs ${program})
    endif()
endforeach()
# The firmware window's entry goes with the AppStream data, which names it; the
# production window's goes with its program.
set(velt_desktop_entries ${velt_linux_dist}/velt-usb-firmware.desktop)
if(TARGET velt-usb-production)
    list(APPEND velt_desktop_entries ${velt_linux_dist}/velt-usb-production.desktop)
endif()

# Our own libraries are linked statically, so today only Qt and the C++ runtime are
# looked up, in the system folders. Should one of ours become shared, it is found in the
# lib folder that belongs to the installed programs, never in an absolute path.
set(velt_rpath_system "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
set(velt_rpath_portable "$ORIGIN/lib")
if(velt_programs)
    set_target_properties(${velt_programs} PROPERTIES INSTALL_RPATH "${velt_rpath_system}")
endif()

# The manual pages carry the version; gzip -n leaves out name and time, so the same
# page always gives the same bytes.
set(velt_man_dir ${PROJECT_BINARY_DIR}/man)
set(velt_man_pages)
foreach(program IN LISTS velt_programs)
    configure_file(${velt_linux_dist}/${program}.1.in ${velt_man_dir}/${program}.1 @ONLY)
    execute_process(COMMAND gzip -9 -n -c ${velt_man_dir}/${program}.1
        OUTPUT_FILE ${velt_man_dir}/${program}.1.gz COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND velt_man_pages ${velt_man_dir}/${program}.1.gz)
endforeach()

# The GNU layout.
if(velt_programs)
    install(TARGETS ${velt_programs}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT system)
endif()
install(FILES ${velt_linux_dist}/70-velt-usb.rules
    DESTINATION ${VELT_UDEV_RULES_DIR} COMPONENT system)
install(FILES ${velt_desktop_entries}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT system)
install(FILES ${VELT_METAINFO}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT system)
if(velt_have_icons)
    install(DIRECTORY ${VELT_ICON_DIR}/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor COMPONENT system)
endif()
if(velt_man_pages)
    install(FILES ${velt_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT system)
endif()

# What only the Debian package adds to that layout.
set(velt_deb_dist ${velt_linux_dist}/deb)
set(velt_deb_doc ${CMAKE_INSTALL_DATADIR}/doc/velt-usb-firmware)
configure_file(${velt_deb_dist}/changelog.in ${PROJECT_BINARY_DIR}/deb/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/deb/changelog
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/deb/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${velt_deb_dist}/copyright ${PROJECT_BINARY_DIR}/deb/changelog.gz
    DESTINATION ${velt_deb_doc} COMPONENT deb EXCLUDE_FROM_ALL)

# The portable folder.
set(velt_portable COMPONENT portable EXCLUDE_FROM_ALL)
if(velt_programs)
    install(TARGETS ${velt_programs} RUNTIME DESTINATION . ${velt_portable})
endif()
foreach(program IN LISTS velt_programs)
    # One INSTALL_RPATH serves both layouts; the copy at the top of the folder has its
    # library folder one level down instead of beside bin.
    install(CODE "file(RPATH_CHANGE
        FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:${program}>\"
        OLD_RPATH \"${velt_rpath_system}\"
        NEW_RPATH \"${velt_rpath_portable}\")" ${velt_portable})
endforeach()
install(FILES ${velt_linux_dist}/70-velt-usb.rules DESTINATION udev ${velt_portable})
install(PROGRAMS ${velt_linux_dist}/install-udev-rule.sh DESTINATION udev ${velt_portable})
install(FILES ${velt_desktop_entries} DESTINATION . ${velt_portable})
install(FILES ${velt_linux_dist}/README-linux.md DESTINATION . RENAME README.md
    ${velt_portable})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . ${velt_portable})
if(velt_have_icons)
    install(DIRECTORY ${VELT_ICON_DIR} DESTINATION icons ${velt_portable})
endif()

set(CPACK_PACKAGE_NAME velt-usb-firmware)
set(CPACK_PACKAGE_VENDOR "Velt-USB Firmware developers")
set(CPACK_PACKAGE_VERSION ${VELT_VERSION_TEXT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Loads new firmware into a Velt-USB instrument")
set(CPACK_PACKAGE_FILE_NAME
    "velt-usb-firmware-${VELT_VERSION_TEXT}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_GENERATOR TGZ)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};portable;/")
set(CPACK_STRIP_FILES ON)

# The Debian package: the GNU layout under /usr plus its own files. Which components a
# generator installs can only be chosen while cpack runs, in the project config file
# (cmake/CPackProject.cmake).
set(CPACK_VELT_DEB_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};system;/;${PROJECT_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_DEBIAN_PACKAGE_NAME velt-usb-firmware)
# <name>_<version>_<arch>.deb; the architecture is dpkg --print-architecture's.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "Velt-USB Firmware developers <firmware@velt-usb.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"velt-usb-firmware opens a window that finds an attached Velt-USB instrument,
shows its maker, product, version and serial number, and loads a firmware image
into it: the instrument is switched to its bootloader and the image is sent
record by record. velt-usb-flash does the same from the command line, for
scripts. velt-usb-production is the window for factory line operators: armed
once with a locked image, it flashes every Velt-USB present or plugged in, once
per serial number, with a PASS or FAIL tile per device and a record entry for
each. A udev rule lets the user at the seat open the instrument without root
rights.")
# dpkg-shlibdeps reads the libraries from the programs, so Depends follows the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${velt_deb_dist}/postinst ${velt_deb_dist}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
