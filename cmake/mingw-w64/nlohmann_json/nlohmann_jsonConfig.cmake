# nlohmann/json for the cross build: the build machine's header-only package, with an include
# folder holding only nlohmann/ so that no other Linux header reaches the Windows compiler.
set(ZYL_NLOHMANN_HEADERS /usr/include/nlohmann)
if(NOT EXISTS ${ZYL_NLOHMANN_HEADERS}/json.hpp)
  set(nlohmann_json_FOUND FALSE)
  set(nlohmann_json_NOT_FOUND_MESSAGE "${ZYL_NLOHMANN_HEADERS}/json.hpp is missing (apt-get install nlohmann-json3-dev)")
  return()
endif()

set(ZYL_NLOHMANN_INCLUDE_DIR ${CMAKE_BINARY_DIR}/nlohmann-only/include)
file(MAKE_DIRECTORY ${ZYL_NLOHMANN_INCLUDE_DIR})
file(CREATE_LINK ${ZYL_NLOHMANN_HEADERS} ${ZYL_NLOHMANN_INCLUDE_DIR}/nlohmann SYMBOLIC)

if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${ZYL_NLOHMANN_INCLUDE_DIR}
    INTERFACE_COMPILE_FEATURES cxx_std_11)
endif()
