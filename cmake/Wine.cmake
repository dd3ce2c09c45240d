# Tests run under Wine in a prefix owned by this build tree. One wineserver is kept
# alive for the run (fixture "wine") and stopped at its end.
# A 32-bit build gets a 32-bit prefix. A 64-bit build gets a 64-bit prefix and
# Wine's 64-bit loader: the plain "wine" launcher would start the 32-bit system
# programs (regsvr32, reg) from syswow64 there.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TAVRINOLEX_WINEARCH win64)
    find_program(WINE64_EXECUTABLE NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine REQUIRED)
    set(TAVRINOLEX_WINE ${WINE64_EXECUTABLE})
else()
    set(TAVRINOLEX_WINEARCH win32)
    find_program(WINE_EXECUTABLE wine REQUIRED)
    set(TAVRINOLEX_WINE ${WINE_EXECUTABLE})
endif()
find_program(WINESERVER_EXECUTABLE wineserver REQUIRED)

set(TAVRINOLEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(TAVRINOLEX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRINOLEX_WINE_RUN})

# A test program, one process per suite, run under the build's prefix.
#   tavrinolex_add_test(NAME name COMMAND cmd... [FIXTURES f...] [WORKING_DIRECTORY dir])
function(tavrinolex_add_test)
    cmake_parse_arguments(T "" "NAME;WORKING_DIRECTORY" "COMMAND;FIXTURES" ${ARGN})
    if(NOT T_WORKING_DIRECTORY)
        set(T_WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "wine;${T_FIXTURES}" TIMEOUT 300)
endfunction()
