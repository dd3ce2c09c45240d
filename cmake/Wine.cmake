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

# Can this machine start 32-bit programs? Some kernels run 64-bit ones only; there
# no 32-bit Windows program runs under Wine, neither the 32-bit build's tests nor
# the 32-bit regsvr32 of a 64-bit prefix. scripts/machine.sh asks (its
# tavrinolex_configure passes the answer and the reason in); both builds still
# compile everything.
set(TAVRINOLEX_NO_32BIT_WHY "" CACHE STRING "Why this machine cannot start 32-bit programs, as scripts/machine.sh says")
if(NOT DEFINED TAVRINOLEX_RUNS_32BIT)
    execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/machine.sh runs-32bit
                    RESULT_VARIABLE runs_32bit_result OUTPUT_VARIABLE runs_32bit_answer
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(runs_32bit_result EQUAL 0)
        set(runs_32bit ON)
    else()
        set(runs_32bit OFF)
    endif()
    set(TAVRINOLEX_RUNS_32BIT ${runs_32bit} CACHE BOOL "This machine can start 32-bit programs")
    string(REGEX REPLACE "^no: " "" runs_32bit_answer "${runs_32bit_answer}")
    set_property(CACHE TAVRINOLEX_NO_32BIT_WHY PROPERTY VALUE "${runs_32bit_answer}")
endif()
# Why 32-bit programs do not run here, for the lines of the tests that skip. A
# semicolon would split the reason into a list and cut it short there.
if(NOT TAVRINOLEX_NO_32BIT_WHY)
    set(TAVRINOLEX_NO_32BIT_WHY "this machine cannot start 32-bit programs (its kernel runs 64-bit programs only)")
endif()
string(REPLACE ";" "," TAVRINOLEX_NO_32BIT_WHY "${TAVRINOLEX_NO_32BIT_WHY}")
# The tests that run under Wine: all of them, but those of the 32-bit build on a
# machine that cannot start its programs.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT TAVRINOLEX_RUNS_32BIT)
    set(TAVRINOLEX_WINE_TESTS OFF)
else()
    set(TAVRINOLEX_WINE_TESTS ON)
endif()
# The build whose tests stand in for the 32-bit build's on such a machine: the
# tests that belong to the 32-bit build alone (each asks this where it is added)
# run in the 64-bit build there.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 OR NOT TAVRINOLEX_RUNS_32BIT)
    set(TAVRINOLEX_RUNS_X86_ONLY_TESTS ${TAVRINOLEX_WINE_TESTS})
else()
    set(TAVRINOLEX_RUNS_X86_ONLY_TESTS OFF)
endif()

set(TAVRINOLEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# How a prefix is made, booted and run, for this runner and the main command's.
set(TAVRINOLEX_WINE_PREFIX_RECIPE ${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(TAVRINOLEX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVRINOLEX_WINE_RUN})

# A test program, one process per suite, run under the build's prefix.
#   tavrinolex_add_test(NAME name COMMAND cmd... [FIXTURES f...] [WORKING_DIRECTORY dir])
# Adds nothing where the build's programs cannot run (see TAVRINOLEX_WINE_TESTS).
function(tavrinolex_add_test)
    if(NOT TAVRINOLEX_WINE_TESTS)
        return()
    endif()
    cmake_parse_arguments(T "" "NAME;WORKING_DIRECTORY" "COMMAND;FIXTURES" ${ARGN})
    if(NOT T_WORKING_DIRECTORY)
        set(T_WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    endif()
    add_test(NAME ${T_NAME} COMMAND ${T_COMMAND} WORKING_DIRECTORY ${T_WORKING_DIRECTORY})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "wine;${T_FIXTURES}" TIMEOUT 300)
endfunction()

# A test that cannot run on this machine: it reports itself skipped, with why.
# scripts/test.sh's summary repeats what CTest reports skipped and the reason each
# printed, so the tests that a kind of machine skips are named only where they are added.
#   tavrinolex_skip_test(NAME name WHY text)
function(tavrinolex_skip_test)
    cmake_parse_arguments(T "" "NAME;WHY" "" ${ARGN})
    add_test(NAME ${T_NAME} COMMAND sh -c "echo \"skipped: $1\"; exit 77" sh "${T_WHY}")
    set_tests_properties(${T_NAME} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()
