#!/usr/bin/env bash
# `make package`: the release files, into build-package/, at the version of
# project() in CMakeLists.txt:
#   kelvra_<version>_amd64.deb      the Debian package (cmake/package.cmake)
#   KelvraSetup-<version>.exe       the Windows installer (packaging/kelvra.nsi)
#   kelvra-<version>-windows.zip    kelvra.exe and the manual, for no install
#   SHA256SUMS                      of the three
# Every time inside is the last commit's (SOURCE_DATE_EPOCH) and no build
# folder's path gets in, so two builds of one commit give the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-package jobs=${JOBS:-2}
for t in dpkg-shlibdeps:dpkg-dev file:file gzip:gzip groff:groff-base makensis:nsis zip:zip \
    x86_64-w64-mingw32-g++:g++-mingw-w64-x86-64; do
    command -v "${t%%:*}" > /dev/null || { echo "package: ${t%%:*} is missing (Debian: ${t#*:})" >&2; exit 1; }
done
# Outside a git checkout, a fixed time: 2026-12-07 00:00 UTC.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2> /dev/null || echo 1796601600)
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022
rm -rf "$out"
mkdir -p "$out/manual"

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

# Windows: kelvra.exe, its icon, and the Spanish manual as a page of text
# for Notepad (UTF-8 with its mark, CR LF). Files in the installer and the
# zip carry the commit's time.
# kelvra.exe is the one `make windows` builds (build-windows), its flags the
# release's.
JOBS=$jobs bash tools/windows-build.sh > /dev/null
files=$out/manual
cp build-windows/kelvra.exe resources/kelvra.ico "$files/"
{ printf '\xef\xbb\xbf'; groff -man -Tutf8 -P-cbou man/es/kelvra.1 | sed 's/$/\r/'; } > "$files/kelvra.txt"
chmod 0644 "$files"/*
touch -d "@$SOURCE_DATE_EPOCH" "$files"/*
makensis -V2 -DVERSION="$version" -DFILES="$PWD/$files" -DOUTFILE="$PWD/$out/KelvraSetup-$version.exe" \
    packaging/kelvra.nsi > "$out/makensis.log" || { cat "$out/makensis.log"; exit 1; }
rm -f "$out/kelvra-$version-windows.zip"
(cd "$files" && zip -X -D -9 -q "../kelvra-$version-windows.zip" kelvra.exe kelvra.txt)
(cd "$out" && sha256sum "kelvra_${version}_amd64.deb" "KelvraSetup-$version.exe" "kelvra-$version-windows.zip" > SHA256SUMS)
cat "$out/SHA256SUMS"
