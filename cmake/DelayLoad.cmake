# Delay-loaded system DLLs: the program's first frame needs none of the internet, signature,
# toast or trim libraries, and loading them at start-up costs tens of milliseconds. Each gets a
# delay-import library (dlltool -y) that the layers link instead of the plain import library; the
# DLL is loaded on the first call into it (mingw-w64's __delayLoadHelper2, libdelayimp).
#
# tarnivex_delay_import(NAME DLL [DEF file])
#   Makes the target tvx_delay_NAME. Without DEF the exports are those of the toolchain's import
#   library libNAME.a; with DEF, the given file (for import libraries that span several DLLs).
find_program(TARNIVEX_DLLTOOL NAMES ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
find_program(TARNIVEX_NM NAMES ${TOOLCHAIN_PREFIX}-nm REQUIRED)

function(tarnivex_delay_import name dll)
    cmake_parse_arguments(D "" "DEF" "" ${ARGN})
    set(dir ${CMAKE_BINARY_DIR}/delayload)
    set(out ${dir}/lib${name}_delay.a)
    if(D_DEF)
        set(def ${D_DEF})
        set(make_def "")
    else()
        find_file(import_lib lib${name}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH
                  NO_CACHE REQUIRED)
        set(def ${dir}/${name}.def)
        set(make_def COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/delayload/exports-of.sh ${TARNIVEX_NM}
                     ${import_lib} ${dll} ${def})
    endif()
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        ${make_def}
        COMMAND ${TARNIVEX_DLLTOOL} -d ${def} -y ${out}
        DEPENDS ${D_DEF} ${import_lib}
        VERBATIM)
    add_custom_target(tvx_delay_${name}_build DEPENDS ${out})
    add_library(tvx_delay_${name} STATIC IMPORTED GLOBAL)
    set_target_properties(tvx_delay_${name} PROPERTIES IMPORTED_LOCATION ${out})
    # The helper that loads the DLL on the first call.
    set_property(TARGET tvx_delay_${name} APPEND PROPERTY INTERFACE_LINK_LIBRARIES delayimp)
    add_dependencies(tvx_delay_${name} tvx_delay_${name}_build)
endfunction()

tarnivex_delay_import(wininet WININET.dll)
tarnivex_delay_import(wintrust WINTRUST.dll)
tarnivex_delay_import(crypt32 CRYPT32.dll)
tarnivex_delay_import(bcrypt bcrypt.dll)
tarnivex_delay_import(shlwapi SHLWAPI.dll)
tarnivex_delay_import(winrt api-ms-win-core-winrt-l1-1-0.dll
                      DEF ${CMAKE_SOURCE_DIR}/cmake/delayload/api-ms-win-core-winrt-l1-1-0.def)
tarnivex_delay_import(winrt_string api-ms-win-core-winrt-string-l1-1-0.dll
                      DEF ${CMAKE_SOURCE_DIR}/cmake/delayload/api-ms-win-core-winrt-string-l1-1-0.def)
