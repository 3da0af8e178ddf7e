#!/usr/bin/env bash
# The Windows program under Wine (`make test-windows`): builds
# build-windows/kelvra.exe and tests/windows/probe.cpp beside it, then
#   1. runs the case folders of tests/e2e/cases as the Windows build's ctest
#      tests (wine.<case>, in parallel, in one Wine prefix): all but those
#      with a `linux-only` file, wanting CR LF in the output and in the files
#      written; the saved_load_* cases load saves from one system on the
#      other and from an earlier build, in code page 850, and
#      save_side_by_side_while_another_loads saves from two programs at
#      once while a third loads;
#   2. reads the warning box back from MessageBoxW on Xvfb;
#   3. drives it at a console under tmux: a program it starts writing to the
#      console (the probe as Notepad), clearing, yellow, one key, Enter
#      leaving the watch, accents typed and shown.
# 2 and 3 run in the cases' prefix, writing files of up to 8 MiB.
set -uo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
exe=$PWD/build-windows/kelvra.exe probe=$PWD/build-windows/tests/probe.exe
bash tools/windows-build.sh > /dev/null || exit 1
for t in /usr/lib/wine/wine64:wine64 Xvfb:xvfb tmux:tmux; do need "${t%%:*}" "${t#*:}"; done
export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all USER=ana
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver xvfb_pid=""

# The prefix the cases share: made once (wineboot, some 10 s) or kept from
# an earlier run, its server kept up 30 s past its last program, and one
# first program run, which sets up what the rest share and has been seen to
# crash in Wine itself. Wine takes its code pages from the locale:
# es_ES.UTF-8 gives the console UTF-8 and the OEM code page 850 of a Spanish
# Windows. Its one user folder is left a link to nowhere, which a case with
# a home/ folder points at its own (Wine would make a folder of its own in
# place of a missing one); the system's Notepad is the probe, which says
# where it was started from.
if ! locale -a | grep -qiE '^es_ES\.utf-?8$'; then
    sed -i 's/^# *es_ES.UTF-8/es_ES.UTF-8/' /etc/locale.gen && locale-gen > /dev/null ||
        { echo "missing: the es_ES.UTF-8 locale (Debian: locales; then locale-gen as root)"; exit 1; }
fi
[ -d "$WINEPREFIX/drive_c/users" ] || HOME=$WINEPREFIX WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 "$wine" wineboot -i \
    > "$WINEPREFIX.log" 2>&1 || { tail -20 "$WINEPREFIX.log"; exit 1; }
"$wineserver" -p30 < /dev/null > /dev/null 2>&1 && "$wine" "$exe" --version > /dev/null 2>&1
rm -rf "$WINEPREFIX/drive_c/users/ana" && ln -s /nonexistent "$WINEPREFIX/drive_c/users/ana"
cp "$probe" "$WINEPREFIX/drive_c/windows/notepad.exe"

echo "test-windows: the case folders"
ctest --test-dir build-windows -j "${JOBS:-4}" --no-tests=error --output-on-failure | grep -v '^ *Start ' &&
    ok "the case folders under Wine" || fail "the case folders under Wine (above)"

ulimit -f 8192
scratch=$(mktemp -d /tmp/kelvra-windows.XXXXXX)
trap 'tmux -L kelvra-$$ kill-server 2> /dev/null; [ -n "$xvfb_pid" ] && kill $xvfb_pid; "$wineserver" -k; rm -rf "$scratch"' EXIT
server() { "$wineserver" -k; "$wineserver" -w; "$wineserver" -p; }
on_wine=(env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES=notepad.exe=n USER=ana "$wine")

echo "test-windows: the warning box"
exec 3< <(Xvfb -displayfd 1 -nolisten tcp 2> /dev/null & echo $!)
read -r xvfb_pid <&3 && read -t 10 -r display <&3
# Wine's desktop takes the display of its server's first program.
server
on_display=(env -i PATH=/usr/bin:/bin LANG=C TZ=UTC DISPLAY=:$display "${on_wine[@]}")
"${on_display[@]}" "$exe" < /dev/null > /dev/null 2>&1
while [ "$(date -u +%S)" -ge 50 ]; do sleep 1; done  # the note's minute must not turn
printf '1\nReunión con Begoña\n%s\n¿chocolate o fresa? ñandú\n\n2\n\n' "$(date -u +%H:%M)" |
    (cd "$scratch" && timeout 120 "${on_display[@]}" "$exe" > box.out 2>&1) &
box=$(timeout 90 "${on_display[@]}" "$probe" | tr -d '\r')
wait $!
[ "$box" = $'Reunión con Begoña\n¿chocolate o fresa? ñandú' ] && ok "MessageBoxW shows the note with its accents, and OK ends it" ||
    fail "MessageBoxW read back: $(printf '%s' "$box" | cat -A)"
kill $xvfb_pid && xvfb_pid="" && server

echo "test-windows: at a console"
tm() { tmux -u -L kelvra-$$ "$@"; }
# screen REGEX [SECONDS]: waits for the whole screen (a Perl regex over its
# lines, colours left out) to match.
screen() {
    for _ in $(seq $((${2:-20} * 5))); do
        tm capture-pane -t k -p -S - | perl -0777 -ne 'BEGIN { $re = shift } exit(/$re/ ? 0 : 1)' "$1" && return 0
        sleep 0.2
    done
    fail "at a console: no '$1' on the screen"; return 1
}
LC_ALL=es_ES.UTF-8 tm new-session -d -s k -x 100 -y 60 -c "$scratch" \
    "env -i PATH=/usr/bin:/bin TERM=xterm LANG=es_ES.UTF-8 TZ=UTC ${on_wine[*]} $exe; sleep 600"
# What the system's Notepad writes reaches the console as it is: no byte of
# it clears the screen or changes its colours.
screen 'Importar Notas De Documentos' 60 && tm send-keys -t k 4 Enter && screen 'impreso por el bloc de notas\s*\n' &&
    [[ $(tm capture-pane -t k -p -e) == *Bienvenido* && $(tm capture-pane -t k -p -e) != *$'\e[33m'* ]] &&
    ok "a program Kelvra starts writes to the console as it is" || fail "the printing command's text: $(tm capture-pane -t k -p -e | cat -v)"
tm send-keys -t k x && screen 'Presione una tecla[^\n]*\n\s*Kelvra' 5 && tm send-keys -t k 9 Enter && screen 'Presione una tecla'
top=$(tm capture-pane -t k -p -e | head -1)
[[ $top == *$'\e[33m'*'.-------'* ]] && ok "option 9 clears the screen and turns it yellow" || fail "option 9: $(cat -v <<< "$top")"
tm send-keys -t k x && screen 'Presione una tecla[^\n]*\n\s*Kelvra' 5 && ok "one key ends the key-wait"
tm send-keys -t k 2 Enter && screen 'la hora es: \d\d:\d\d' && tm send-keys -t k Enter &&
    screen 'la hora es: [^\n]*\n(la hora es: [^\n]*\n)*Presione una tecla' 5 && ok "Enter leaves the notification mode"
for step in 'x|Kelvra' '1 Enter|Defina el nombre' '-l Reunión|Reunión' 'Enter|Defina el horario' '14:30 Enter|Defina la descr' \
    '-l ñandú|ñandú' 'Enter|Presione' 'x|Kelvra' '3 Enter| Reunión \| 14:30 \| ñandú' 'x|Kelvra' '7 Enter|Notas guardadas'; do
    # shellcheck disable=SC2086
    tm send-keys -t k ${step%%|*} && screen "${step#*|}" || break
done
cmp -s "$scratch/NotasGuardadas.txt" <(printf 'Reunión-\r\n14:30-\r\nñandú-\r\n') &&
    ok "accents typed at the console are shown and saved as UTF-8" || fail "saved: $(od -c "$scratch/NotasGuardadas.txt")"

tally
