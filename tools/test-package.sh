#!/usr/bin/env bash
# `make test-package`: the release files of build-package/ (`make package`)
# installed and removed for real. lintian on the .deb (which also renders
# its manual pages) and its relations; the .deb installed on this machine
# with apt-get (as root or through sudo), run, its desktop entry and icons
# checked, purged to the last file; the installer run with /S in a fresh
# Wine prefix, what Windows users read beside kelvra.exe (there and in the
# zip), the installer and the uninstaller refused over a running kelvra.exe,
# the program run from Program Files, then uninstalled with /S to the last
# file, shortcut and registry entry. A missing tool fails the check.
set -uo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/linux/CMakeCache.txt)
deb=$PWD/build-package/kelvra_${v}_amd64.deb setup=$PWD/build-package/KelvraSetup-$v.exe
for t in apt-get:apt lintian:lintian man:man-db desktop-file-validate:desktop-file-utils python3:python3 \
    /usr/lib/wine/wine64:wine64; do need "${t%%:*}" "${t#*:}"; done
[ -f "$deb" ] && [ -f "$setup" ] || { fail "no $deb or $setup (make package)"; exit 1; }
root=() && [ "$(id -u)" != 0 ] && root=(sudo -n) && ! sudo -n true && { fail "installing the .deb needs root or sudo"; exit 1; }
scratch=$(mktemp -d /tmp/kelvra-package.XXXXXX)
# check WHAT COMMAND...: WHAT holds when COMMAND succeeds; else what it said.
check() { local what=$1 && shift && "$@" > "$scratch/said" 2>&1 && ok "$what" || fail "$what: $(tail -c 600 "$scratch/said")"; }
# saves DIR SAVED PROGRAM...: a note typed and saved from a fresh DIR is
# saved as SAVED (printf escapes).
saves() (
    dir=$1 saved=$2 && shift 2 && mkdir -p "$dir" && cd "$dir" &&
        printf '1\nCita\n14:30\nDentista\n\n7\n\n' | timeout 60 "$@" && cmp NotasGuardadas.txt <(printf "$saved")
)
fails() { ! "$@"; }
# icon SIZE: the icon theme's kelvra.png at SIZE is a PNG image that wide.
icon() { [ "$(od -An -j16 -N4 -tx1 "/usr/share/icons/hicolor/$1x$1/apps/kelvra.png" | tr -d ' ')" = "$(printf %08x "$1")" ]; }

echo "test-package: the Debian package"
check "lintian: no error, no warning" lintian --fail-on error,warning "$deb"
# zenity only shows the box as a desktop window: a console install need not
# pull in GTK for it.
check "cups-client recommended, zenity suggested" \
    test "$(dpkg-deb -f "$deb" Recommends Suggests)" = $'Recommends: cups-client\nSuggests: zenity'
check "apt-get installs it" "${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb"
check "kelvra $v runs by name" test "$(kelvra --version | head -1)" = "kelvra $v"
check "its copyright names the license" grep -qx 'License: Expat' /usr/share/doc/kelvra/copyright
check "the installed program saves a note" saves "$scratch/linux" 'Cita-\n14:30-\nDentista-\n' /usr/bin/kelvra
check "man finds the page" test "$(man -w kelvra)" = /usr/share/man/man1/kelvra.1.gz
check "the desktop entry validates" desktop-file-validate /usr/share/applications/kelvra.desktop
check "the desktop entry opens a terminal" grep -qx Terminal=true /usr/share/applications/kelvra.desktop
for size in 16 24 32 48 64 256; do check "the icon at $size pixels" icon $size; done
check "apt-get purges it" "${root[@]}" apt-get remove --purge -y -qq kelvra
left=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | while read -r f; do [ -e "$f" ] && echo "$f"; done)
check "purged to the last file: $left" test -z "$left"

echo "test-package: the Windows installer under Wine"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver
# Without Wine's menus on this machine's desktop, which it lists in the
# prefix's registry; Mono and Gecko are not wanted.
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" HOME=$scratch
trap '"$wineserver" -k; rm -rf "$scratch"' EXIT
c=$WINEPREFIX/drive_c key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvra'
pf=$c/Program\ Files/Kelvra menu=$c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
check "a fresh prefix" timeout 600 "$wine" wineboot -i
check "the installer succeeds" timeout 120 "$wine" "$setup" /S && "$wineserver" -w
check "kelvra.exe in Program Files" test -f "$pf/kelvra.exe"
check "a Start-menu shortcut to Kelvra" test -f "$menu/Kelvra.lnk"
check "a Start-menu shortcut to its manual" grep -aqF 'Kelvra\kelvra.txt' "$menu/Manual de Kelvra.lnk"
entry=$("$wine" reg query "$key" 2>&1 | tr -s ' ' | tr -d '\r')
for value in "DisplayName REG_SZ Kelvra" "DisplayVersion REG_SZ $v" "Publisher REG_SZ Kelvra" "DisplayIcon REG_SZ C:\\Program Files\\Kelvra\\kelvra.ico" \
    "EstimatedSize REG_DWORD 0x" "QuietUninstallString REG_SZ \"C:\\Program Files\\Kelvra\\desinstalar.exe\" /S"; do
    check "uninstall entry: $value" grep -qF "$value" <<< "$entry"
done
# Beside kelvra.exe, installed and in the zip: the license, the runtime's
# notices, and a manual that speaks of Windows only.
python3 -m zipfile -e "build-package/kelvra-$v-windows.zip" "$scratch/zip"
for dir in "$pf" "$scratch/zip"; do
    check "${dir##*/}: the MIT license" grep -q 'Permission is hereby granted' "$dir/LICENSE.txt"
    check "${dir##*/}: the runtime's notices" grep -q 'GCC RUNTIME LIBRARY' "$dir/THIRD-PARTY-NOTICES.txt"
    check "${dir##*/}: a manual for Windows" grep -q 'Ctrl-Z y luego Intro' "$dir/kelvra.txt"
    check "${dir##*/}: nothing of Linux in it" test -z "$(grep -E 'Ctrl-D|\<lp\>|zenity|\<man |HOME|DISPLAY|SIG' "$dir/kelvra.txt")"
done

# Over a running kelvra.exe, held at its menu by an input that stays open,
# the installer and the uninstaller fail and leave every file, shortcut and
# registry value as it was (the files' times set back, so that one written
# again with the same bytes shows). Once it has ended, the installer
# succeeds over the install, and the program it put there runs.
state() { find "$c" -ipath '*kelvra*' -type f -printf '%T@ %p\n' -exec sha256sum {} +; "$wine" reg query "$key" 2>&1; }
mkfifo "$scratch/input" && { sleep 600 > "$scratch/input" & input=$!; }
"$wine" "$pf/kelvra.exe" < "$scratch/input" > "$scratch/held" 2>&1 & held=$!
for _ in $(seq 100); do grep -q Bienvenido "$scratch/held" && break; sleep 0.2; done
touch -d @0 "$pf"/* && before=$(state)
for program in "$setup" "$pf/desinstalar.exe"; do
    check "${program##*/} /S refused over a running kelvra.exe" fails timeout 120 "$wine" "$program" /S
    check "${program##*/} changed nothing" diff <(echo "$before") <(state)
done
kill $input && wait $held
check "installed again once it has ended" timeout 120 "$wine" "$setup" /S
check "kelvra.exe saves a note" saves "$scratch/windows" 'Cita-\r\n14:30-\r\nDentista-\r\n' "$wine" "$pf/kelvra.exe"
check "the uninstaller succeeds" timeout 120 "$wine" "$pf/desinstalar.exe" /S && "$wineserver" -w
check "no file, shortcut or registry entry left" test -z "$(find "$c" -iname '*kelvra*' -o -iname 'desinstalar.exe'; grep -il kelvra "$WINEPREFIX"/*.reg)"
tally
