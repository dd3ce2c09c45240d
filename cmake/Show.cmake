# The main command's parts: the sample help file (cmake/Sample.cmake) and
# build/show-run.sh, which runs filterdump in a Wine prefix of its own
# (build/showprefix) with the filter, the stand-in storage and the reference
# page filter registered there.
set(TAVRINOLEX_SHOW_PREFIX ${CMAKE_BINARY_DIR}/showprefix)

configure_file(${CMAKE_CURRENT_LIST_DIR}/show-run.sh.in ${CMAKE_BINARY_DIR}/show-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(TAVRINOLEX_SHOW_RUN ${CMAKE_BINARY_DIR}/show-run.sh)

# Everything the main command needs, and nothing more.
add_custom_target(show_parts DEPENDS Tavrinolex ChmStorageStandIn ReferencePageFilter filterdump sample_chm)
