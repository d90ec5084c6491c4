include("${CMAKE_CURRENT_LIST_DIR}/BrimloHeaderOnly.cmake")
brimlo_header_only_target(nlohmann_json::nlohmann_json nlohmann)
