# brimlo_add_gtest(<name> SOURCES <files...> LIBS <libs...>)
# Builds one GoogleTest executable and registers each of its cases with CTest.
include(GoogleTest)

function(brimlo_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
