# Winelib build rules: compile with the host g++ using winelib's flags,
# link executables with wineg++ (which writes NAME.exe.so plus a launcher script).

set(WINELIB_DEFINES
    WINE_UNICODE_NATIVE _REENTRANT
    WIN64 _WIN64 __WIN64 __WIN64__ WIN32 _WIN32 __WIN32 __WIN32__ __WINNT __WINNT__ __WINE__
    "__stdcall=__attribute__((ms_abi))" "__cdecl=__stdcall" "__fastcall=__stdcall"
    "_stdcall=__stdcall" "_cdecl=__cdecl" "_fastcall=__fastcall"
    "__declspec_deprecated=__attribute__((deprecated))"
    "__declspec_dllimport=__attribute__((dllimport))"
    "__declspec_dllexport=__attribute__((dllexport))"
    "__declspec_naked=__attribute__((naked))"
    "__declspec_noinline=__attribute__((noinline))"
    "__declspec_noreturn=__attribute__((noreturn))"
    "__declspec_nothrow=__attribute__((nothrow))"
    "__declspec_novtable=__attribute__(())"
    "__declspec_selectany=__attribute__((weak))"
    "__declspec_thread=__thread"
    "__int8=char" "__int16=short" "__int32=int" "__int64=long"
    UNICODE _UNICODE NOMINMAX)

add_compile_definitions(${WINELIB_DEFINES})
# -maccumulate-outgoing-args: GCC 12 mis-addresses over-aligned locals around ms_abi calls without it.
add_compile_options(-m64 -fshort-wchar -fPIC -ffp-contract=off -maccumulate-outgoing-args -Wall -Wextra)
# Our own code builds without warnings; the platform's headers are system
# headers (below), whose warnings the compiler does not report. A newer
# compiler with new warnings can be told -DQV_WARNINGS_AS_ERRORS=OFF.
option(QV_WARNINGS_AS_ERRORS "Treat warnings in the project's own code as errors" ON)
if(QV_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
endif()
# winelib-prelude.h reaches every translation unit as the first header of the
# precompiled set (cmake/Precompiled.cmake): GCC takes a precompiled header only
# when it comes before any other forced include.
include_directories(SYSTEM /usr/include/wine/wine/windows /usr/include/wine/windows)
include_directories(AFTER /usr/include/wine)

find_program(WINEGXX wineg++ REQUIRED)
find_program(WRC wrc REQUIRED)
set(CMAKE_CXX_LINK_EXECUTABLE
    "${WINEGXX} <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")

# A winelib console program: qv_console_program(name sources...)
function(qv_console_program name)
    add_executable(${name} ${ARGN})
    set_target_properties(${name} PROPERTIES SUFFIX ".exe" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    target_link_options(${name} PRIVATE -mconsole)
endfunction()

# A winelib GUI program: qv_gui_program(name sources...)
function(qv_gui_program name)
    add_executable(${name} ${ARGN})
    set_target_properties(${name} PROPERTIES SUFFIX ".exe" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    target_link_options(${name} PRIVATE -mwindows -municode)
endfunction()

# Compile a .rc file with wrc into a .res object that wineg++ links into the
# target (an executable). The .rc file's folder and the source root are on the
# include path, so resources can include "res/resource.h" or their neighbours.
# qv_add_resources(target file.rc [include dirs...])
function(qv_add_resources target rcfile)
    get_filename_component(rcpath ${rcfile} ABSOLUTE)
    get_filename_component(rcdir ${rcpath} DIRECTORY)
    get_filename_component(base ${rcpath} NAME_WE)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${base}.res)
    set(incs -I${rcdir} -I${CMAKE_SOURCE_DIR})
    foreach(d ${ARGN})
        list(APPEND incs -I${d})
    endforeach()
    file(GLOB_RECURSE deps CONFIGURE_DEPENDS ${rcdir}/*.png ${rcdir}/*.ico ${rcdir}/*.bmp ${rcdir}/*.h
         ${rcdir}/*.rc ${rcdir}/*.xml)
    add_custom_command(OUTPUT ${out}
        COMMAND ${WRC} -m64 --nostdinc ${incs}
                -I/usr/include/wine/wine/windows -I/usr/include/wine/windows
                -DUNICODE -D_UNICODE -J rc -O res -o ${out} ${rcpath}
        DEPENDS ${rcpath} ${deps}
        WORKING_DIRECTORY ${rcdir})
    add_custom_target(${target}_res DEPENDS ${out})
    add_dependencies(${target} ${target}_res)
    target_link_options(${target} PRIVATE ${out})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${out})
endfunction()

# A GoogleTest program run under wine by ctest:
# qv_test(name sources... LIBS libs... [NEEDS_DISPLAY] [TIMEOUT s] [LOCKS resources...])
# Programs that share a resource of the test prefix (such as the program's own
# registry profile) name it in LOCKS, so ctest never runs two of them at once.
function(qv_test name)
    cmake_parse_arguments(T "NEEDS_DISPLAY" "TIMEOUT" "LIBS;LOCKS" ${ARGN})
    qv_console_program(${name} ${T_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${T_LIBS} qv_test_main)
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run ${CMAKE_BINARY_DIR}/bin/${name}.exe.so)
    set(labels unit)
    if(T_NEEDS_DISPLAY)
        set(labels gui)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 900)
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT})
    if(T_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
endfunction()
