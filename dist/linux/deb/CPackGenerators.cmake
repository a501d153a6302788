# Read by cpack for each generator: the Debian package installs the GNU layout and its
# own files, where the archive installs the portable folder.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_VELT_DEB_PROJECTS}")
endif()
