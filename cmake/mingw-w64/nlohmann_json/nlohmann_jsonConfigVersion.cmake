# The version of the build machine's package decides what find_package accepts.
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake OPTIONAL)
