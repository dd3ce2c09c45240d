# The sample help file, compiled with chmcmd from the administrators' guide.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(CHMCMD_EXECUTABLE chmcmd REQUIRED)

set(TAVRINOLEX_SAMPLE_DIR ${CMAKE_BINARY_DIR}/sample)
set(TAVRINOLEX_SAMPLE_CHM ${TAVRINOLEX_SAMPLE_DIR}/tavrinolex-guide.chm)
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
