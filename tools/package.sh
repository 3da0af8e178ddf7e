#!/usr/bin/env bash
# `make package`: the release files, into build-package/, at the version of
# project() in CMakeLists.txt:
#   kelvra_<version>_amd64.deb      the Debian package (cmake/package.cmake)
#   KelvraSetup-<version>.exe       the Windows installer (packaging/kelvra.nsi)
#   kelvra-<version>-windows.zip    kelvra.exe, its manual, its license and
#                                   the runtime's notices, for no install
#   SHA256SUMS                      of the three
# Every time inside is the last commit's (SOURCE_DATE_EPOCH) and no build
# folder's path gets in, so two builds of one commit give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-package jobs=${JOBS:-2}
for t in dpkg-shlibdeps:dpkg-dev file:file gzip:gzip groff:groff-base makensis:nsis zip:zip \
    x86_64-w64-mingw32-g++:g++-mingw-w64-x86-64 x86_64-w64-mingw32-strip:binutils-mingw-w64-x86-64; do
    command -v "${t%%:*}" > /dev/null || { echo "package: ${t%%:*} is missing (Debian: ${t#*:})" >&2; exit 1; }
done
# Outside a git checkout, a fixed time: 2026-12-07 00:00 UTC.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2> /dev/null || echo 1796601600)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022
rm -rf "$out"
mkdir -p "$out/windows"

# The Debian package, built with Debian's hardening flags.
cmake -S . -B "$out/linux" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKELVRA_TESTS=OFF \
    -DKELVRA_DEB=ON -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection -fcf-protection" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" > /dev/null
cmake --build "$out/linux" -j "$jobs" --target kelvra > /dev/null
# The compilers' names and versions, which Debian's own packages leave out too.
objcopy --remove-section=.comment "$out/linux/kelvra"
(cd "$out/linux" && cpack -G DEB > cpack.log 2>&1) || { cat "$out/linux/cpack.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/linux/CMakeCache.txt")
mv "$out/linux/kelvra_${version}_amd64.deb" "$out/"

# Windows: kelvra.exe without its debugging sections, its icon, and as text
# for Notepad (CR LF) the Spanish manual as Windows has it (UTF-8 with its
# mark, not hyphenated by English rules), the license and the notices of the
# runtime linked into kelvra.exe. THIRD-PARTY-NOTICES.txt comes from
# Debian's copyright files of mingw-w64-x86-64-dev and gcc-mingw-w64-base,
# for what the link map shows linked in: libgcc, and of the MinGW-w64
# runtime its start-up code, gdtoa and mingw_pformat. Files in the installer
# and the zip carry the commit's time.
# kelvra.exe is the one `make windows` builds (build-windows), its flags the
# release's.
JOBS=$jobs bash tools/windows-build.sh > /dev/null
files=$out/windows
x86_64-w64-mingw32-strip -o "$files/kelvra.exe" build-windows/kelvra.exe
cp resources/kelvra.ico "$files/"
{ printf '\xef\xbb\xbf'; groff -man -Tutf8 -P-cbou -rwindows=1 -rHY=0 man/es/kelvra.1; } | sed 's/$/\r/' > "$files/kelvra.txt"
sed 's/$/\r/' LICENSE > "$files/LICENSE.txt"
sed 's/$/\r/' packaging/THIRD-PARTY-NOTICES.txt > "$files/THIRD-PARTY-NOTICES.txt"
# nsis DEFINE...: one program of packaging/kelvra.nsi, from the files as
# they are now. The uninstaller comes first: the installer carries it.
nsis() {
    chmod 0644 "$files"/*
    touch -d "@$SOURCE_DATE_EPOCH" "$files"/*
    makensis -V2 -DVERSION="$version" -DFILES="$PWD/$files" "$@" packaging/kelvra.nsi >> "$out/makensis.log" ||
        { cat "$out/makensis.log"; exit 1; }
}
nsis -DUNINSTALLER -DOUTFILE="$PWD/$files/desinstalar.exe"
nsis -DOUTFILE="$PWD/$out/KelvraSetup-$version.exe"
rm -f "$out/kelvra-$version-windows.zip"
(cd "$files" && zip -X -D -9 -q "../kelvra-$version-windows.zip" kelvra.exe kelvra.txt LICENSE.txt THIRD-PARTY-NOTICES.txt)
(cd "$out" && sha256sum "kelvra_${version}_amd64.deb" "KelvraSetup-$version.exe" "kelvra-$version-windows.zip" > SHA256SUMS)
cat "$out/SHA256SUMS"
