# tarnivex_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [WITH_RESOURCES] [SECOND_LANE]
#                   [PROPERTIES prop value ...])
# A GoogleTest program linked with the program's code; every test case becomes one ctest entry
# that runs under Wine. PROPERTIES are added to every case (for example FIXTURES_REQUIRED on a
# server the cases talk to).
#
# The programs run in two lanes side by side, each a Wine prefix with its own registry, server,
# desktop and display; the cases of one lane share its prefix, so they never run at the same
# time. The first lane is the build tree's prefix on the display the suite runs on. The second
# (SECOND_LANE) is TARNIVEX_SECOND_PREFIX, on a virtual display of its own of the same size
# (see scripts/wine-prefix).
include(GoogleTest)

set(TARNIVEX_SECOND_PREFIX ${CMAKE_BINARY_DIR}/wineprefix-2)
file(WRITE ${TARNIVEX_SECOND_PREFIX}.screen "1280x1024x24\n")

# The test code itself is compiled without optimisation and with its common headers precompiled:
# it is most of the build, and its speed under Wine is the speed of the program it drives. The
# program's own code is built once, as it ships, and linked in.
function(tarnivex_test_compile name)
    target_compile_options(${name} PRIVATE -O0)
    target_precompile_headers(${name} REUSE_FROM tarnivex_test_headers)
endfunction()

function(tarnivex_add_test name)
    cmake_parse_arguments(T "WITH_RESOURCES;SECOND_LANE" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_WITH_RESOURCES)
        target_sources(${name} PRIVATE $<TARGET_OBJECTS:tarnivex_resources>)
    endif()
    target_link_libraries(${name} PRIVATE tarnivex_program tarnivex_test_support GTest::gtest_main
                          ${T_LIBS})
    tarnivex_test_compile(${name})
    if(T_SECOND_LANE)
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
            "${CMAKE_SOURCE_DIR}/scripts/wine-exec;${TARNIVEX_SECOND_PREFIX}")
        set(lock wine_prefix_2)
    else()
        set(lock wine_prefix)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES RESOURCE_LOCK ${lock} TIMEOUT 300 ${T_PROPERTIES})
endfunction()
