# The main command's parts: a sample help file compiled with chmcmd from the
# administrators' guide, and build/show-run.sh, which runs filterdump in a Wine
# prefix of its own (build/showprefix) with the filter, the stand-in storage and
# the reference page filter registered there.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(CHMCMD_EXECUTABLE chmcmd REQUIRED)

set(TAVRINOLEX_SAMPLE_DIR ${CMAKE_BINARY_DIR}/sample)
set(TAVRINOLEX_SAMPLE_CHM ${TAVRINOLEX_SAMPLE_DIR}/tavrinolex-guide.chm)
set(TAVRINOLEX_SHOW_PREFIX ${CMAKE_BINARY_DIR}/showprefix)
file(GLOB_RECURSE guide_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
add_custom_command(OUTPUT ${TAVRINOLEX_SAMPLE_CHM}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${TAVRINOLEX_SAMPLE_DIR}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/docs-to-chm.py ${PROJECT_SOURCE_DIR}/docs ${TAVRINOLEX_SAMPLE_DIR}
    # chmcmd writes the help file beside its project file.
    COMMAND sh -c "cd '${TAVRINOLEX_SAMPLE_DIR}' && '${CHMCMD_EXECUTABLE}' guide.hhp > chmcmd.log 2>&1"
    DEPENDS ${guide_pages} ${PROJECT_SOURCE_DIR}/scripts/docs-to-chm.py
    COMMENT "Compiling the sample help file from docs/"
    VERBATIM)
add_custom_target(sample_chm ALL DEPENDS ${TAVRINOLEX_SAMPLE_CHM})

configure_file(${CMAKE_CURRENT_LIST_DIR}/show-run.sh.in ${CMAKE_BINARY_DIR}/show-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(TAVRINOLEX_SHOW_RUN ${CMAKE_BINARY_DIR}/show-run.sh)

# Everything the main command needs, and nothing more.
add_custom_target(show_parts DEPENDS Tavrinolex ChmStorageStandIn ReferencePageFilter filterdump sample_chm)
