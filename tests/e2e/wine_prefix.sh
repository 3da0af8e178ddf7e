#!/usr/bin/env bash
# The Wine prefix the Windows cases share, made ready before them (ctest's
# fixture wine): made once (wineboot, some 10 s) or kept from an earlier run,
# its server (every one of them for the user ana) kept up 30 s past its last
# program, and one first program run, which sets up what the rest share and
# has been seen to crash in Wine itself. The user folder C:\users\ana is
# left a link to nowhere, which a case with a home/ folder points at its own
# (Wine would make a folder of its own in place of a missing one).
#
#   bash wine_prefix.sh PREFIX PROGRAM PROBE
set -u
. "$(dirname "$0")/lib.sh"
need /usr/lib/wine/wine64 wine64
# Wine takes its code pages from the locale: es_ES.UTF-8 gives the console
# UTF-8 and the OEM code page 850 of a Spanish Windows.
if ! locale -a | grep -qiE '^es_ES\.utf-?8$'; then
    sed -i 's/^# *es_ES.UTF-8/es_ES.UTF-8/' /etc/locale.gen && locale-gen > /dev/null ||
        { echo "missing: the es_ES.UTF-8 locale (Debian: locales; then locale-gen as root)"; exit 1; }
fi
export WINEPREFIX=$1 WINEDEBUG=-all USER=ana
if [ ! -d "$1/drive_c/users" ]; then
    # Mono and Gecko are not wanted (and could not be fetched anyway).
    HOME=$1 WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 /usr/lib/wine/wine64 wineboot -i > "$1.log" 2>&1 ||
        { tail -20 "$1.log"; exit 1; }
fi
/usr/lib/wine/wineserver -p30 < /dev/null > /dev/null 2>&1
/usr/lib/wine/wine64 "$2" --version > /dev/null 2>&1
rm -rf "$1/drive_c/users/ana" && ln -s /nonexistent "$1/drive_c/users/ana"
# The system's Notepad is the probe, which says where it was started from.
cp "$3" "$1/drive_c/windows/notepad.exe"
