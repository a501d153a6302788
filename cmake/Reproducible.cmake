# Two builds of one commit give the same programs and packages, byte for byte, whatever
# their folders, users, clocks and umasks (make reproducible-check compares two).
#
# The programs name their sources relative to the tree, in __FILE__ as in the debug
# information, never by the folders they were built in. GCC tries the last mapping first,
# and the build folder usually lies inside the source folder, so it comes second.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    add_compile_options(
        "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
        "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=./build>")
    if(WIN32)
        # A PE header holds the link time unless told otherwise; 0 says "none".
        add_link_options(-Wl,--no-insert-timestamp)
    endif()
endif()

# Folders made by an install get these modes whatever the umask of whoever packs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# cpack reads these (cmake/CPackProject.cmake): every package is packed once more from what
# cpack made, in a fixed order with fixed times, owners and modes, and its digest goes into
# SHA256SUMS beside it.
set(CPACK_VELT_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackProject.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/RepackReproducibly.cmake)
