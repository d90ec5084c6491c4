# Unit tests of the report-descriptor parser; its fuzz target is in fuzz/.

brimlo_add_gtest(report_descriptor_parser_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_descriptor_parser_test.cpp
    LIBS brimlo_hid
)

# libFuzzer is a Linux clang build.
if(NOT WIN32)
    add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/fuzz ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
endif()
