# Precompiled headers: the Windows and standard library headers that almost
# every translation unit includes take most of its compile time, so one
# precompiled set serves every library and program (REUSE_FROM needs the same
# flags, which the global winelib flags give), and the test programs share a
# second one that adds GoogleTest.
set(QV_PCH_HEADERS "${CMAKE_CURRENT_LIST_DIR}/winelib-prelude.h" <windows.h> <algorithm> <atomic> <cstdint> <cstring> <functional> <memory> <string> <vector>)

add_library(qv_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
target_precompile_headers(qv_pch PRIVATE ${QV_PCH_HEADERS})

add_library(qv_test_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cpp)
target_precompile_headers(qv_test_pch PRIVATE ${QV_PCH_HEADERS} "${CMAKE_SOURCE_DIR}/tests/QvTest.h")
# QvTest.h includes the framework's string.
target_include_directories(qv_test_pch PRIVATE ${CMAKE_SOURCE_DIR})

# Gives every C++ target below `dir` one of the two sets.
function(qv_use_precompiled_headers dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
        get_target_property(type ${t} TYPE)
        if(t MATCHES "^qv_(test_)?pch$" OR NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        get_target_property(no_pch ${t} QV_NO_PCH)
        if(no_pch)
            continue()
        endif()
        get_target_property(links ${t} LINK_LIBRARIES)
        if(links AND "qv_test_main" IN_LIST links OR t STREQUAL "qv_test_main")
            target_precompile_headers(${t} REUSE_FROM qv_test_pch)
        else()
            target_precompile_headers(${t} REUSE_FROM qv_pch)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub ${subdirs})
        qv_use_precompiled_headers(${sub})
    endforeach()
endfunction()
