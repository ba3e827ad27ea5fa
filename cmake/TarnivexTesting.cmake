# tarnivex_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [WITH_RESOURCES] [PROPERTIES prop value ...])
# A GoogleTest program linked with the program's code; every test case becomes one ctest entry
# that runs under Wine in the build tree's prefix. Cases share that prefix (its registry, its
# wineserver), so they never run at the same time. PROPERTIES are added to every case (for
# example FIXTURES_REQUIRED on a server the cases talk to).
include(GoogleTest)

function(tarnivex_add_test name)
    cmake_parse_arguments(T "WITH_RESOURCES" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_WITH_RESOURCES)
        target_sources(${name} PRIVATE $<TARGET_OBJECTS:tarnivex_resources>)
    endif()
    target_link_libraries(${name} PRIVATE tarnivex_program tarnivex_test_support GTest::gtest_main
                          ${T_LIBS})
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES RESOURCE_LOCK wine_prefix TIMEOUT 300 ${T_PROPERTIES})
endfunction()
