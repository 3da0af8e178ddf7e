# Cross-compiling kelvra.exe on Linux with Debian's MinGW-w64 toolchain
# (package g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELVRA_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Prefix of the MinGW-w64 tools")

set(CMAKE_C_COMPILER ${KELVRA_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KELVRA_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KELVRA_MINGW_PREFIX}-windres)

# Headers and libraries come from the MinGW tree only; programs (the build
# tools themselves) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KELVRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
