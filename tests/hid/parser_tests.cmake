# Unit tests of the report-descriptor parser, and its libFuzzer target built with clang.

brimlo_add_gtest(report_descriptor_parser_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/report_descriptor_parser_test.cpp
    LIBS brimlo_hid
)

find_program(BRIMLO_CLANGXX NAMES clang++ clang++-14)
if(NOT BRIMLO_CLANGXX)
    message(STATUS "clang++ not found: the report-descriptor fuzzer is not built")
    return()
endif()

set(_fuzz_dir ${CMAKE_CURRENT_LIST_DIR}/fuzz)
set(_fuzz_work ${CMAKE_CURRENT_BINARY_DIR}/report_descriptor_fuzz)
set(_fuzzer ${_fuzz_work}/report_descriptor_fuzzer)
file(MAKE_DIRECTORY ${_fuzz_work}/corpus)
set(_fuzz_sources
    ${PROJECT_SOURCE_DIR}/hid/report_descriptor_parser.cpp
    ${_fuzz_dir}/report_descriptor_fuzzer.cpp
)
# UB must stop the run, not just print, so that ctest sees it.
add_custom_command(
    OUTPUT ${_fuzzer}
    COMMAND ${BRIMLO_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${PROJECT_SOURCE_DIR} ${_fuzz_sources} -o ${_fuzzer}
    DEPENDS ${_fuzz_sources}
            ${PROJECT_SOURCE_DIR}/hid/report_descriptor_parser.h
            ${PROJECT_SOURCE_DIR}/hid/hid_caps.h
    COMMENT "Building report_descriptor_fuzzer with clang"
    VERBATIM
)
add_custom_target(report_descriptor_fuzzer ALL DEPENDS ${_fuzzer})

# Runs every seed once.
add_test(NAME report_descriptor_fuzzer.seeds
    COMMAND ${_fuzzer} -runs=0 ${_fuzz_dir}/corpus
)
# A short fuzzing run; new inputs and any crash go to the build tree, never to the seeds.
add_test(NAME report_descriptor_fuzzer.bounded
    COMMAND ${_fuzzer} -max_total_time=20 -timeout=5 -rss_limit_mb=2048
            -artifact_prefix=${_fuzz_work}/ ${_fuzz_work}/corpus ${_fuzz_dir}/corpus
)
set_tests_properties(report_descriptor_fuzzer.seeds report_descriptor_fuzzer.bounded
    PROPERTIES LABELS fuzz TIMEOUT 120
)
