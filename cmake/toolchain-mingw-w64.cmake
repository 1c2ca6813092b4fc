# Cross build of the Windows product (module, simulator, tests) with mingw-w64.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
# The posix-threads flavour of the compilers is the one whose C++ runtime has std::thread.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZYL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZYL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZYL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZYL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZYL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host loads the module into its own process and the tests run on machines without a
# mingw installation: carry the C++ runtime and winpthreads inside every binary so that
# only Windows' own DLLs are imported.
set(ZYL_MINGW_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${ZYL_MINGW_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${ZYL_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${ZYL_MINGW_STATIC_RUNTIME}")

# nlohmann/json is header-only, but its package points at the build machine's /usr/include,
# which would put Linux's C headers ahead of mingw's. The package found here exposes
# that one header folder and nothing else.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64/nlohmann_json CACHE PATH "")

# GoogleTest has no Windows build in the distribution: the tests build it from these sources.
set(ZYL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")

# ctest runs the Windows programs under Wine, headless and quiet, in a prefix of the
# build's own so that parallel builds never share a wineserver.
find_program(ZYL_WINE_PROGRAM NAMES wine wine64 PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run
    ${ZYL_WINE_PROGRAM} ${CMAKE_BINARY_DIR}/wineprefix)
