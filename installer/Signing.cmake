# Authenticode signing of the DLL and the packages, off unless a certificate is
# named. The environment at configure time names it (TAVRINOLEX_SIGN_PFX, or
# TAVRINOLEX_SIGN_CERT and TAVRINOLEX_SIGN_KEY; TAVRINOLEX_SIGN_TIMESTAMP), and the
# build tree keeps it until a later configure sets the variable again (empty:
# off). The password stays out of the cache: installer/sign.py reads
# TAVRINOLEX_SIGN_PASSWORD from the build's environment.
foreach(name PFX CERT KEY TIMESTAMP)
    set(variable TAVRINOLEX_SIGN_${name})
    if(DEFINED ENV{${variable}})
        set(${variable} "$ENV{${variable}}" CACHE STRING "Authenticode signing: see installer/README.md" FORCE)
    else()
        set(${variable} "" CACHE STRING "Authenticode signing: see installer/README.md")
    endif()
endforeach()

set(TAVRINOLEX_SIGN_ARGS)
if(TAVRINOLEX_SIGN_PFX OR TAVRINOLEX_SIGN_CERT OR TAVRINOLEX_SIGN_KEY)
    if(TAVRINOLEX_SIGN_PFX AND (TAVRINOLEX_SIGN_CERT OR TAVRINOLEX_SIGN_KEY))
        message(FATAL_ERROR "Signing: name TAVRINOLEX_SIGN_PFX, or TAVRINOLEX_SIGN_CERT and TAVRINOLEX_SIGN_KEY, not both")
    endif()
    if(NOT TAVRINOLEX_SIGN_PFX AND NOT (TAVRINOLEX_SIGN_CERT AND TAVRINOLEX_SIGN_KEY))
        message(FATAL_ERROR "Signing: TAVRINOLEX_SIGN_CERT and TAVRINOLEX_SIGN_KEY go together")
    endif()
    foreach(name PFX CERT KEY)
        if(TAVRINOLEX_SIGN_${name})
            get_filename_component(file "${TAVRINOLEX_SIGN_${name}}" ABSOLUTE)
            if(NOT EXISTS "${file}")
                message(FATAL_ERROR "Signing: TAVRINOLEX_SIGN_${name} names ${file}, which does not exist")
            endif()
            string(TOLOWER ${name} option)
            list(APPEND TAVRINOLEX_SIGN_ARGS --${option} ${file})
        endif()
    endforeach()
    if(TAVRINOLEX_SIGN_TIMESTAMP)
        list(APPEND TAVRINOLEX_SIGN_ARGS --timestamp ${TAVRINOLEX_SIGN_TIMESTAMP})
    endif()
    find_program(OSSLSIGNCODE_EXECUTABLE osslsigncode REQUIRED)
    find_program(OPENSSL_EXECUTABLE openssl REQUIRED)
    list(APPEND TAVRINOLEX_SIGN_ARGS --osslsigncode ${OSSLSIGNCODE_EXECUTABLE} --openssl ${OPENSSL_EXECUTABLE})
    message(STATUS "Signing the DLL and the packages with ${TAVRINOLEX_SIGN_PFX}${TAVRINOLEX_SIGN_CERT}")
endif()

# Signs a target's file in place right after it is linked: once per build of
# it, before anything (the packages) takes it. A file that could not be signed
# is removed, so that no unsigned one stays behind as if up to date.
function(tavrinolex_sign_after_build target)
    if(TAVRINOLEX_SIGN_ARGS)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/installer/sign.py ${TAVRINOLEX_SIGN_ARGS}
                    --built $<TARGET_FILE:${target}>
            COMMENT "Signing ${target}"
            VERBATIM)
    endif()
endfunction()
