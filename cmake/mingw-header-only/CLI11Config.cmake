include("${CMAKE_CURRENT_LIST_DIR}/BrimloHeaderOnly.cmake")
brimlo_header_only_target(CLI11::CLI11 CLI)
