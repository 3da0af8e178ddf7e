#!/usr/bin/env bash
# Builds build-windows/kelvra.exe on Linux with Debian's MinGW-w64
# cross-compiler: statically linked, with the icon and the version record.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${BUILD_WINDOWS:-build-windows}
jobs=${JOBS:-2}

if ! command -v x86_64-w64-mingw32-g++ > /dev/null || ! command -v x86_64-w64-mingw32-windres > /dev/null; then
    echo "windows-build: the MinGW-w64 cross-compiler is missing;" \
        "install it with: apt-get install g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64" >&2
    exit 1
fi

# The toolchain is read on the first configure only; later runs reuse it.
# The build's tests are the cases under Wine (make test-windows).
toolchain=()
[ -f "$dir/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake)
cmake -S . -B "$dir" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DKELVRA_WERROR=ON -DKELVRA_TESTS=ON > /dev/null
cmake --build "$dir" -j "$jobs"
echo "windows-build: $dir/kelvra.exe"
