#!/usr/bin/env bash
# `make test-package`: the release files of build-package/ (`make package`)
# installed and removed for real. lintian on the .deb and its relations; the
# .deb installed on this machine with apt-get (as root or through sudo), run,
# its manual pages, desktop entry and icons checked, purged to the last file; the installer run with /S in a fresh
# Wine prefix, what Windows users read beside kelvra.exe (there and in the
# zip), the installer and the uninstaller refused over a running kelvra.exe,
# the program run from Program Files, then uninstalled with /S to the last
# file, shortcut and registry entry. A missing tool fails the check.
set -uo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/linux/CMakeCache.txt)
deb=$PWD/build-package/kelvra_${v}_amd64.deb setup=$PWD/build-package/KelvraSetup-$v.exe
for t in apt-get:apt dpkg-deb:dpkg lintian:lintian man:man-db desktop-file-validate:desktop-file-utils python3:python3 wine64:wine64; do
    PATH=$PATH:/usr/lib/wine command -v "${t%%:*}" > /dev/null || { fail "${t%%:*} is missing (Debian: ${t#*:})"; exit 1; }
done
[ -f "$deb" ] && [ -f "$setup" ] || { fail "no $deb or $setup (make package)"; exit 1; }
root=() && [ "$(id -u)" != 0 ] && root=(sudo -n) && ! sudo -n true && { fail "installing the .deb needs root or sudo"; exit 1; }
scratch=$(mktemp -d /tmp/kelvra-package.XXXXXX)
# session FOLDER SAVED PROGRAM...: a note typed and saved from a fresh
# FOLDER; the saved file must hold SAVED (printf escapes).
session() {
    local dir=$1 saved=$2 && shift 2 && mkdir -p "$dir"
    (cd "$dir" && printf '1\nCita\n14:30\nDentista\n\n7\n\n' | timeout 60 "$@" > out 2>&1) &&
        cmp -s "$dir/NotasGuardadas.txt" <(printf "$saved")
}

echo "test-package: the Debian package"
lintian --fail-on error,warning "$deb" > "$scratch/lintian" 2>&1 && ok "lintian: no error, no warning" ||
    fail "lintian: $(cat "$scratch/lintian")"
# zenity only shows the box as a desktop window: a console install need not
# pull in GTK for it.
[ "$(dpkg-deb -f "$deb" Recommends Suggests)" = $'Recommends: cups-client\nSuggests: zenity' ] &&
    ok "cups-client recommended, zenity suggested" || fail "relations: $(dpkg-deb -f "$deb" Recommends Suggests)"
"${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" > "$scratch/apt" 2>&1 &&
    [ "$(/usr/bin/kelvra --version | head -1)" = "kelvra $v" ] && grep -qx 'License: Expat' /usr/share/doc/kelvra/copyright &&
    ok "apt-get installs kelvra $v, its copyright naming the license" || fail "install: $(tail -5 "$scratch/apt")"
session "$scratch/linux" 'Cita-\n14:30-\nDentista-\n' /usr/bin/kelvra && ok "the installed program saves a note" ||
    fail "session: $(tail -c 300 "$scratch/linux/out")"
# (lintian has rendered the manual pages.) The desktop entry validates and
# opens a terminal; its icon is there at each size of the icon theme, a PNG
# image that wide.
desktop-file-validate /usr/share/applications/kelvra.desktop && grep -qx Terminal=true /usr/share/applications/kelvra.desktop &&
    ok "the desktop entry validates" || fail "the desktop entry"
sizes=(16 24 32 48 64 256) widths=$(for s in "${sizes[@]}"; do od -An -j16 -N4 -tx1 "/usr/share/icons/hicolor/${s}x$s/apps/kelvra.png"; done)
[ "$(tr -d ' ' <<< "$widths")" = "$(printf '%08x\n' "${sizes[@]}")" ] && ok "the icon at ${sizes[*]} pixels" || fail "icons: $widths"
[ "$(man -w kelvra)" = /usr/share/man/man1/kelvra.1.gz ] && ok "man finds the page" || fail "man -w kelvra: $(man -w kelvra 2>&1)"
"${root[@]}" apt-get remove --purge -y -qq kelvra > "$scratch/apt" 2>&1 || fail "apt-get remove: $(tail -5 "$scratch/apt")"
left=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | while read -r f; do [ -e "$f" ] && echo "$f"; done)
[ -z "$left" ] && ! dpkg -s kelvra > /dev/null 2>&1 && ok "purged to the last file" || fail "left after purge: $left"

echo "test-package: the Windows installer under Wine"
wine=$(PATH=$PATH:/usr/lib/wine command -v wine64) && wineserver=$(dirname "$wine")/wineserver
# Without Wine's menus on this machine's desktop, which it lists in the
# prefix's registry; Mono and Gecko are not wanted.
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=" HOME=$scratch
trap '"$wineserver" -k; rm -rf "$scratch"' EXIT
c=$WINEPREFIX/drive_c key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvra'
pf=$c/Program\ Files/Kelvra menu=$c/ProgramData/Microsoft/Windows/Start\ Menu/Programs
timeout 600 "$wine" wineboot -i > "$scratch/boot" 2>&1 || fail "wineboot: $(tail -5 "$scratch/boot")"
timeout 120 "$wine" "$setup" /S && "$wineserver" -w
[ -f "$pf/kelvra.exe" ] && [ -f "$menu/Kelvra.lnk" ] && grep -aqF 'Kelvra\kelvra.txt' "$menu/Manual de Kelvra.lnk" &&
    ok "installed into Program Files, with Start-menu shortcuts to Kelvra and its manual" || fail "installed: $(find "$c" -ipath '*kelvra*')"
entry=$("$wine" reg query "$key" 2>&1 | tr -d '\r')
for value in "DisplayName REG_SZ Kelvra" "DisplayVersion REG_SZ $v" "Publisher REG_SZ Kelvra" "DisplayIcon REG_SZ C:\\Program Files\\Kelvra\\kelvra.ico" \
    "EstimatedSize REG_DWORD 0x" "QuietUninstallString REG_SZ \"C:\\Program Files\\Kelvra\\desinstalar.exe\" /S"; do
    grep -qF "$value" <<< "$(tr -s ' ' <<< "$entry")" && ok "uninstall entry: $value" || fail "uninstall entry lacks $value: $entry"
done
# Beside kelvra.exe, installed and in the zip: the license, the runtime's
# notices, and a manual that speaks of Windows only.
python3 -m zipfile -e "build-package/kelvra-$v-windows.zip" "$scratch/zip"
for dir in "$pf" "$scratch/zip"; do
    grep -q 'Permission is hereby granted' "$dir/LICENSE.txt" && grep -q 'GCC RUNTIME LIBRARY' "$dir/THIRD-PARTY-NOTICES.txt" &&
        grep -q 'Ctrl-Z y luego Intro' "$dir/kelvra.txt" && ! grep -E 'Ctrl-D|\<lp\>|zenity|\<man |HOME|DISPLAY|SIG' "$dir/kelvra.txt" &&
        ok "${dir##*/}: the license, the notices and a manual for Windows" || fail "$dir: the license, the notices or the manual"
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
    timeout 120 "$wine" "$program" /S; status=$? changed=$(diff <(echo "$before") <(state))
    [ $status != 0 ] && [ -z "$changed" ] && ok "${program##*/} /S refused over a running kelvra.exe" || fail "${program##*/}: $status; $changed"
done
kill $input && wait $held
timeout 120 "$wine" "$setup" /S && session "$scratch/windows" 'Cita-\r\n14:30-\r\nDentista-\r\n' "$wine" "$pf/kelvra.exe" &&
    ok "installed again once it has ended, kelvra.exe saves a note" || fail "install again, session: $(tail -c 300 "$scratch/windows/out")"
timeout 120 "$wine" "$pf/desinstalar.exe" /S && "$wineserver" -w && ok "the uninstaller succeeds" || fail "the uninstaller failed"
left=$(find "$c" -iname '*kelvra*' -o -iname 'desinstalar.exe'; grep -il kelvra "$WINEPREFIX"/*.reg)
[ -z "$left" ] && ok "uninstalled: no file, shortcut or registry entry left" || fail "left after uninstall: $left"
tally
