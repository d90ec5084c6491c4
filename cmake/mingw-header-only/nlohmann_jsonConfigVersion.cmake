# The version Debian installed; the check itself is independent of the target system.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
