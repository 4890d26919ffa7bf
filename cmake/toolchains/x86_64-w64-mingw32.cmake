# Cross build for 64-bit Windows with MinGW-w64 (posix threads, for std::mutex).
# Programs built here, the tests included, run under Wine through wine-run.sh,
# in a throwaway Wine prefix inside the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KVB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KVB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
