#!/usr/bin/env bash
# Installs the build that holds the given program into an empty prefix: the
# program runs from there by name, `man` finds and renders both manual pages
# without a warning, and the desktop entry validates and names a program and
# an icon (at each size of the icon theme) that were installed with it.
#
#   bash check_install.sh <path to kelvra>
set -u
. "$(dirname "$0")/lib.sh"
build=$(cd "$(dirname "$1")" && pwd)
for t in groff:groff-base man:man-db desktop-file-validate:desktop-file-utils; do need "${t%%:*}" "${t#*:}"; done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# The installed program writes no file past 8 MiB either (ulimit -f).
ulimit -f 8192
p=$tmp/prefix
cmake --install "$build" --prefix "$p" > "$tmp/log" 2>&1 || { cat "$tmp/log"; exit 1; }

[ "$(PATH=$p/bin:/usr/bin:/bin kelvra --version | head -1)" = "kelvra 1.1.0.0" ] && ok "bin/kelvra runs by name" ||
    fail "bin/kelvra does not run by name"
for page in man1/kelvra.1 es/man1/kelvra.1; do
    warnings=$(groff -man -ww -z -Tutf8 "$p/share/man/$page" 2>&1; LANG=C.UTF-8 MANWIDTH=80 man -l "$p/share/man/$page" 2>&1 > "$tmp/page")
    [ -z "$warnings" ] && grep -q '^ *kelvra - ' "$tmp/page" && ok "$page renders without warnings" ||
        fail "$page: $warnings"
done
[ "$(man -M "$p/share/man" -w kelvra)" = "$p/share/man/man1/kelvra.1" ] && ok "man finds the page by name" ||
    fail "man -M does not find kelvra"
entry=$p/share/applications/kelvra.desktop
desktop-file-validate "$entry" && grep -qx Terminal=true "$entry" && ok "the desktop entry validates" ||
    fail "the desktop entry"
[ -x "$p/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")" ] && ok "the entry's program is installed" ||
    fail "the entry names a program that was not installed"
# The entry's icon at each size of the icon theme, a PNG image that wide.
for size in 16 24 32 48 64 256; do
    icon=$p/share/icons/hicolor/${size}x$size/apps/$(sed -n 's/^Icon=//p' "$entry").png
    [ "$(od -An -j16 -N4 -tx1 "$icon" 2>&1 | tr -d ' ')" = "$(printf %08x "$size")" ] &&
        ok "the entry's icon is installed at $size pixels" || fail "$icon is not a $size-pixel image"
done
tally
