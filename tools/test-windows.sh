#!/usr/bin/env bash
# The Windows program under Wine (`make test-windows`): builds
# build-windows/kelvra.exe and tests/windows/probe.cpp beside it, then
#   1. runs the case folders of tests/e2e/cases through the same runner as
#      on Linux, reading CR LF as LF and wanting it in the output and in the
#      files written (a folder with a `linux-only` file holds something
#      Windows has no counterpart for, and says what); the saved_load_*
#      cases load saves from one system on the other;
#   2. loads a save of an earlier build, in code page 850, and saves from
#      two programs side by side while a third loads;
#   3. reads the warning box back from MessageBoxW on Xvfb;
#   4. drives it at a console under tmux: clearing, yellow, one key, Enter
#      leaving the watch, accents typed and shown.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. tests/e2e/lib.sh
exe=$root/build-windows/kelvra.exe probe=$root/build-windows/probe.exe
bash tools/windows-build.sh > /dev/null || exit 1
x86_64-w64-mingw32-g++ -municode -O2 -Wall -Wextra -Werror -static -o "$probe" tests/windows/probe.cpp \
    -luser32 || exit 1
for t in wine64:wine64 Xvfb:xvfb tmux:tmux locale-gen:locales; do
    PATH=$PATH:/usr/lib/wine need "${t%%:*}" "${t#*:}"
done
wine=$(PATH=$PATH:/usr/lib/wine command -v wine64) wineserver=$(dirname "$wine")/wineserver
# Wine takes its code pages from the locale: es_ES.UTF-8 gives the console
# UTF-8 and the OEM code page 850 of a Spanish Windows.
if ! locale -a | grep -qiE '^es_ES\.utf-?8$'; then
    sed -i 's/^# *es_ES.UTF-8/es_ES.UTF-8/' /etc/locale.gen && locale-gen > /dev/null ||
        { echo "test-windows: the es_ES.UTF-8 locale is missing (run locale-gen as root)"; exit 1; }
fi

scratch=$(mktemp -d /tmp/kelvra-windows.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
xvfb_pid=""
trap 'tmux -L kelvra-$$ kill-server 2> /dev/null; [ -n "$xvfb_pid" ] && kill $xvfb_pid; "$wineserver" -k; rm -rf "$scratch"' EXIT
# Wine makes USERNAME from the USER its server started with, and
# USERPROFILE C:\users\<USER>, a folder each case links to its own user
# folder. A server kept running makes every run after the first quick.
export USER=ana
server() { "$wineserver" -k; "$wineserver" -w; "$wineserver" -p; }
# Mono and Gecko are not wanted (and could not be fetched anyway).
HOME=$scratch WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 "$wine" wineboot -i > "$scratch/boot.log" 2>&1 ||
    { tail -20 "$scratch/boot.log"; exit 1; }
server
on_wine=(env WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all USER=ana "$wine")
# Wine's first program after a fresh server sets up what the rest share,
# and has been seen to crash in Wine itself: that run is none of the cases.
(cd "$scratch" && "${on_wine[@]}" "$exe" --version > /dev/null 2>&1)
profile=$WINEPREFIX/drive_c/users/ana
rm -rf "$profile"

echo "test-windows: case folders"
for case_dir in tests/e2e/cases/*/; do
    name=$(basename "$case_dir")
    if [ -f "$case_dir/linux-only" ]; then echo "linux only: $name: $(cat "$case_dir/linux-only")"; continue; fi
    if KELVRA_RUNNER="${on_wine[*]}" KELVRA_CRLF=1 KELVRA_PROFILE_LINK=$profile \
        bash tests/e2e/run_case.sh "$exe" "$case_dir" > "$scratch/case.log" 2>&1; then
        ok "$name"
    else
        fail "$name: $(head -c 1500 "$scratch/case.log")"
    fi
done

# run FOLDER INPUT [NAME=VALUE...]: one session of kelvra.exe in FOLDER.
run() {
    local dir=$1 input=$2
    shift 2
    mkdir -p "$dir"
    (cd "$dir" && printf '%s' "$input" | timeout 60 env -i PATH=/usr/bin:/bin LANG=C TZ=UTC "$@" "${on_wine[@]}" "$exe") \
        > "$dir/out" 2>&1
}
# same FILE TEXT WHAT: FILE holds exactly TEXT (printf escapes).
same() { cmp -s "$1" <(printf "$2") && ok "$3" || fail "$3: $(head -c 300 "$1" | od -c | head -5)"; }

echo "test-windows: a save of an earlier build"
# An earlier Windows build saved in the console's code page 850.
mkdir -p "$scratch/cp850"
printf 'Reuni\xa2n con Bego\xa4a-\r\n14:30-\r\nCumplea\xa4os de mam\xa0-\r\n' > "$scratch/cp850/NotasGuardadas.txt"
run "$scratch/cp850" $'6\n\n7\n\n' LANG=es_ES.UTF-8
same "$scratch/cp850/NotasGuardadas.txt" 'Reunión con Begoña-\r\n14:30-\r\nCumpleaños de mamá-\r\n' \
    "a code page 850 save loads with the right letters"

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
box=$(timeout 90 env -i WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all PATH=/usr/bin:/bin "$display" "$wine" "$probe" box | tr -d '\r')
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
same "$scratch/console/NotasGuardadas.txt" 'Reunión-\r\n14:30-\r\nñandú-\r\n' "accents typed at the console are shown and saved as UTF-8"

tally
