# Read by cpack before each generator runs (CPACK_PROJECT_CONFIG_FILE).

# The Debian package installs the GNU layout and its own files, where the archive installs
# the portable folder.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_VELT_DEB_PROJECTS)
    set(CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_VELT_DEB_PROJECTS}")
endif()

# The time on every file of every package, and the signing time of the Windows programs:
# SOURCE_DATE_EPOCH when set, else the last commit's time, so that packing again later
# gives the same bytes. A tree without its git history (git archive stamps every file with
# the commit's time) takes the time of its top CMakeLists.txt.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
        message(FATAL_ERROR "SOURCE_DATE_EPOCH is '$ENV{SOURCE_DATE_EPOCH}', not whole seconds")
    endif()
else()
    execute_process(COMMAND git -C ${CPACK_VELT_SOURCE_DIR} log -1 --format=%ct
        OUTPUT_VARIABLE velt_epoch OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE velt_git_failed ERROR_QUIET)
    if(velt_git_failed OR NOT velt_epoch MATCHES "^[0-9]+$")
        file(TIMESTAMP ${CPACK_VELT_SOURCE_DIR}/CMakeLists.txt velt_epoch "%s" UTC)
        message(STATUS "No git history in ${CPACK_VELT_SOURCE_DIR}: "
            "the packages' time is that of its CMakeLists.txt, ${velt_epoch}")
    endif()
    set(ENV{SOURCE_DATE_EPOCH} ${velt_epoch})
endif()
