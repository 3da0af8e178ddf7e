#!/usr/bin/env bash
# The Windows program under Wine (`make test-windows`): builds
# build-windows/kelvra.exe and tests/windows/probe.cpp beside it, then
#   1. runs the case folders of tests/e2e/cases as the Windows build's ctest
#      tests (wine.<case>, in parallel, in one Wine prefix): all but those
#      with a `linux-only` file, wanting CR LF in the output and in the files
#      written; the saved_load_* cases load saves from one system on the
#      other and from an earlier build, in code page 850;
#   2. saves from two programs side by side while a third loads;
#   3. reads the warning box back from MessageBoxW on Xvfb;
#   4. drives it at a console under tmux: clearing, yellow, one key, Enter
#      leaving the watch, accents typed and shown.
# 2 to 4 run in the cases' prefix, writing files of up to 8 MiB.
set -uo pipefail
cd "$(dirname "$0")/.."
. tests/e2e/lib.sh
exe=$PWD/build-windows/kelvra.exe probe=$PWD/build-windows/probe.exe
bash tools/windows-build.sh > /dev/null || exit 1
x86_64-w64-mingw32-g++ -O2 -Wall -Wextra -Werror -static -o "$probe" tests/windows/probe.cpp \
    -luser32 || exit 1
for t in Xvfb:xvfb tmux:tmux; do need "${t%%:*}" "${t#*:}"; done

echo "test-windows: the case folders"
ctest --test-dir build-windows -j "${JOBS:-4}" --no-tests=error --output-on-failure | grep -v '^ *Start ' &&
    ok "the case folders under Wine" || fail "the case folders under Wine (above)"

ulimit -f 8192
scratch=$(mktemp -d /tmp/kelvra-windows.XXXXXX)
export WINEPREFIX=$PWD/build-windows/wine-prefix WINEDEBUG=-all USER=ana
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver xvfb_pid=""
trap 'tmux -L kelvra-$$ kill-server 2> /dev/null; [ -n "$xvfb_pid" ] && kill $xvfb_pid; "$wineserver" -k; rm -rf "$scratch"' EXIT
server() { "$wineserver" -k; "$wineserver" -w; "$wineserver" -p; }
on_wine=(env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all USER=ana "$wine")
# run FOLDER INPUT [NAME=VALUE...]: one session of kelvra.exe in FOLDER.
run() {
    local dir=$1 input=$2
    shift 2
    mkdir -p "$dir"
    (cd "$dir" && printf '%s' "$input" | timeout 120 env -i PATH=/usr/bin:/bin LANG=C TZ=UTC "$@" "${on_wine[@]}" "$exe") \
        > "$dir/out" 2>&1
}

echo "test-windows: two saving side by side while a third loads"
side=$scratch/side && mkdir -p "$side" && printf 'Z-\r\n09:00-\r\nZ-\r\n' > "$side/NotasGuardadas.txt"
for who in A B L; do
    { [ $who = L ] && printf '6\n\n%.0s' $(seq 60) || { printf '1\n%s\n10:00\n%s\n\n' $who $who; printf '7\n\n%.0s' $(seq 60); }; } |
        (cd "$side" && timeout 120 env -i PATH=/usr/bin:/bin LANG=C TZ=UTC "${on_wine[@]}" "$exe" > $who.out 2>&1) &
done
wait
saves=$(cat "$side"/[AB].out | grep -c 'Notas guardadas correctamente')
[ "$saves" = 120 ] && { cmp -s "$side/NotasGuardadas.txt" <(printf 'A-\r\n10:00-\r\nA-\r\n') ||
    cmp -s "$side/NotasGuardadas.txt" <(printf 'B-\r\n10:00-\r\nB-\r\n'); } &&
    ok "120 saves of two programs side by side all done, the last one whole" || fail "side by side: $saves of 120 saves done"

echo "test-windows: the warning box"
Xvfb -displayfd 3 -nolisten tcp 3> "$scratch/display" 2> /dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$scratch/display" ] && break; sleep 0.2; done
# Wine's desktop takes the display of its server's first program.
server
display=DISPLAY=:$(cat "$scratch/display")
run "$scratch/warm" '' "$display"
while [ "$(date -u +%S)" -ge 50 ]; do sleep 1; done  # the note's minute must not turn
run "$scratch/box" "$(printf '1\nReunión con Begoña\n%s\n¿chocolate o fresa? ñandú\n\n2\n\n' "$(date -u +%H:%M)")" "$display" &
box=$(timeout 90 env -i WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all PATH=/usr/bin:/bin "$display" "$wine" "$probe" | tr -d '\r')
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
mkdir -p "$scratch/console"
LC_ALL=es_ES.UTF-8 tm new-session -d -s k -x 100 -y 60 -c "$scratch/console" \
    "env -i PATH=/usr/bin:/bin TERM=xterm LANG=es_ES.UTF-8 TZ=UTC ${on_wine[*]} $exe; sleep 600"
screen 'Importar Notas De Documentos' 60 && tm send-keys -t k 9 Enter && screen 'Presione una tecla'
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
cmp -s "$scratch/console/NotasGuardadas.txt" <(printf 'Reunión-\r\n14:30-\r\nñandú-\r\n') &&
    ok "accents typed at the console are shown and saved as UTF-8" ||
    fail "saved at the console: $(od -c "$scratch/console/NotasGuardadas.txt" | head -5)"

tally
