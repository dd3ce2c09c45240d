# The Windows Installer packages, built by wixl with installer/make-package.py.
# The 32-bit build makes Tavrinolex-x86.msi (its own DLL); the 64-bit build makes
# Tavrinolex-x64.msi, with its own DLL and the 32-bit build's (TAVRINOLEX_X86_DLL).
# Both land in packages/ of their build. With a certificate (Signing.cmake) the
# DLLs they take must be signed with it, and the packages are signed too.
find_program(WIXL_EXECUTABLE wixl REQUIRED)
find_program(MSIBUILD_EXECUTABLE msibuild REQUIRED)
find_program(MSIINFO_EXECUTABLE msiinfo REQUIRED)
set(TAVRINOLEX_PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages)

# tavrinolex_add_package(<target> OUTPUT <msi> ARCH x86|x64 DLL32 <dll> [DLL64 <dll>] [DEPENDS targets...]
#                        [UNSIGNED])   UNSIGNED: a test's package, never signed
function(tavrinolex_add_package target)
    cmake_parse_arguments(P "UNSIGNED" "OUTPUT;ARCH;DLL32;DLL64" "DEPENDS" ${ARGN})
    set(dll64)
    if(P_DLL64)
        set(dll64 --dll64 ${P_DLL64})
    endif()
    set(signing)
    if(NOT P_UNSIGNED)
        set(signing ${TAVRINOLEX_SIGN_ARGS})
    endif()
    set(dir ${PROJECT_SOURCE_DIR}/installer)
    add_custom_command(OUTPUT ${P_OUTPUT}
        COMMAND ${Python3_EXECUTABLE} ${dir}/make-package.py --arch ${P_ARCH} --dll32 ${P_DLL32} ${dll64}
                --out ${P_OUTPUT} --wixl ${WIXL_EXECUTABLE} --msibuild ${MSIBUILD_EXECUTABLE} --msiinfo ${MSIINFO_EXECUTABLE}
                ${signing}
        DEPENDS ${dir}/make-package.py ${dir}/versioninfo.py ${dir}/sign.py ${dir}/Tavrinolex.wxs ${P_DLL32} ${P_DLL64} ${P_DEPENDS}
        COMMENT "Building the Windows Installer package ${P_OUTPUT}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${P_OUTPUT})
endfunction()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TAVRINOLEX_PACKAGE ${TAVRINOLEX_PACKAGE_DIR}/Tavrinolex-x86.msi)
    tavrinolex_add_package(package_x86 OUTPUT ${TAVRINOLEX_PACKAGE} ARCH x86
                           DLL32 $<TARGET_FILE:Tavrinolex> DEPENDS Tavrinolex)
elseif(TAVRINOLEX_X86_DLL)
    set(TAVRINOLEX_PACKAGE ${TAVRINOLEX_PACKAGE_DIR}/Tavrinolex-x64.msi)
    tavrinolex_add_package(package_x64 OUTPUT ${TAVRINOLEX_PACKAGE} ARCH x64
                           DLL32 ${TAVRINOLEX_X86_DLL} DLL64 $<TARGET_FILE:Tavrinolex> DEPENDS Tavrinolex)
else()
    set(TAVRINOLEX_PACKAGE)
    message(STATUS "TAVRINOLEX_X86_DLL not set: the x64 package, which holds both DLLs, is left out")
endif()
