# Run by cpack once it has made its packages, before it copies them to the output folder
# (CPACK_POST_BUILD_SCRIPTS). cpack's archives follow the order in which the file system
# lists a folder and the packer's umask, and its zip holds the packer's user and group, so
# each package is packed once more by scripts/repack-package.sh. SHA256SUMS in the output
# folder then lists every package there, these with their new digests.
# cpack copies a package out even when this script fails, so one that could not be packed
# again is removed first: better none than one that differs from everyone else's.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND ${CPACK_VELT_SOURCE_DIR}/scripts/repack-package.sh ${package}
        RESULT_VARIABLE failed)
    if(failed)
        file(REMOVE ${package})
        message(FATAL_ERROR "Could not pack ${package} reproducibly")
    endif()
endforeach()

if(CPACK_OUTPUT_FILE_PREFIX)
    set(velt_out ${CPACK_OUTPUT_FILE_PREFIX})
else()
    set(velt_out ${CPACK_PACKAGE_DIRECTORY})
endif()

# "<name>|<path>" for each package, the new ones in place of any older one of that name.
set(velt_entries)
set(velt_new_names)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name ${package} NAME)
    list(APPEND velt_new_names ${name})
    list(APPEND velt_entries "${name}|${package}")
endforeach()
file(GLOB velt_present LIST_DIRECTORIES false
    ${velt_out}/${CPACK_PACKAGE_NAME}*.deb
    ${velt_out}/${CPACK_PACKAGE_NAME}*.tar.gz
    ${velt_out}/${CPACK_PACKAGE_NAME}*.zip)
foreach(package IN LISTS velt_present)
    get_filename_component(name ${package} NAME)
    if(NOT name IN_LIST velt_new_names)
        list(APPEND velt_entries "${name}|${package}")
    endif()
endforeach()
list(SORT velt_entries)

set(velt_sums "")
foreach(entry IN LISTS velt_entries)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 name)
    list(GET entry 1 path)
    file(SHA256 ${path} digest)
    string(APPEND velt_sums "${digest}  ${name}\n")
endforeach()
file(MAKE_DIRECTORY ${velt_out})
file(WRITE ${velt_out}/SHA256SUMS "${velt_sums}")
