# Unit tests of the report-descriptor parser; its fuzz target is in fuzz/.

brimlo_add_gtest(report_descriptor_parser_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_descriptor_parser_test.cpp
    LIBS brimlo_hid
)

# libFuzzer is a Linux clang build.
if(NOT WIN32)
    add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/fuzz ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
endif()

# Our parser against what Windows' own made of real devices' descriptors (hidapi's test data).
brimlo_add_gtest(windows_golden_tests
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/windows_golden_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/pp_data_dump.cpp
    LIBS brimlo_hid
)
target_compile_definitions(windows_golden_tests PRIVATE
    BRIMLO_WINDOWS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/windows_golden")
