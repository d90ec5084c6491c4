# brimlo_add_gtest(<name> SOURCES <files...> LIBS <libs...>)
# Builds one GoogleTest executable and registers each of its cases with CTest.
include(GoogleTest)

function(brimlo_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    if(CMAKE_CROSSCOMPILING)
        # One entry per program: under an emulator each start is slow, so the cases of a
        # program run in one go and its output counts them.
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
endfunction()
