#!/usr/bin/env bash
# The Windows program under Wine: builds build-windows/kelvra.exe, then
#   1. runs every end-to-end case of tests/e2e/cases against it, comparing
#      its output and files with the Linux expectations once CR LF is read
#      as LF, and checking that every file it wrote has CR LF line ends;
#   2. checks that the report files and the saved-notes file it writes have
#      CR LF line ends, that a saved-notes file with accents it wrote loads in
#      the Linux build and that one the Linux build wrote loads in it, and
#      that a file of code page 850 bytes loads with the right letters;
#   2b. reads the warning box back: with Xvfb as Wine's display, a due note
#      raises MessageBoxW and tests/windows/read_box.cpp, built beside
#      kelvra.exe, reads its caption and text and presses OK;
#   3. checks that the executable carries one icon group of 12 images and the
#      version record 1.1.0.0, Spanish (Spain), code page 1252.
# Needs Debian's mingw-w64, wine, icoutils, xvfb, tmux and locales packages.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
exe=$root/build-windows/kelvra.exe
linux=$root/${BUILD:-build}/kelvra
cases_dir=$root/tests/e2e/cases

bash tools/windows-build.sh || exit 1
read_box=$root/build-windows/read_box.exe
x86_64-w64-mingw32-g++ -O2 -Wall -Wextra -Werror -static -o "$read_box" tests/windows/read_box.cpp -luser32 || exit 1
# The Linux build to exchange files with, brought up to date (BUILD names
# its folder as for make).
make -s build || exit 1

find_tool() {
    for t in "$@"; do
        if command -v "$t" > /dev/null; then command -v "$t"; return 0; fi
        if [ -x "$t" ]; then echo "$t"; return 0; fi
    done
    return 1
}
# wine64 itself: the `wine` wrapper warns on standard error about the 32-bit
# half, which the cases would take for the program's own output.
wine=$(find_tool wine64 /usr/lib/wine/wine64 wine) || { echo "test-windows: wine is missing (apt-get install wine)"; exit 1; }
wineserver=$(find_tool wineserver /usr/lib/wine/wineserver) || { echo "test-windows: wineserver is missing"; exit 1; }
for t in wrestool icotool perl Xvfb; do
    command -v "$t" > /dev/null || { echo "test-windows: $t is missing (apt-get install icoutils xvfb)"; exit 1; }
done
# Wine takes its code pages from the locale: es_ES.UTF-8 gives the console
# UTF-8 and the OEM code page 850 of a Spanish Windows.
has_locale() { locale -a 2> /dev/null | grep -qiE '^es_ES\.utf-?8$'; }
if ! has_locale && [ -w /etc/locale.gen ]; then
    sed -i 's/^# *es_ES.UTF-8/es_ES.UTF-8/' /etc/locale.gen && locale-gen > /dev/null
fi
has_locale || { echo "test-windows: the es_ES.UTF-8 locale is missing (apt-get install locales, then locale-gen)"; exit 1; }
spanish=LANG=es_ES.UTF-8

scratch=$(mktemp -d /tmp/kelvra-windows.XXXXXX)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
tmux_socket=kelvra-windows-$$
xvfb_pid=""
cleanup() {
    command -v tmux > /dev/null && tmux -L "$tmux_socket" kill-server > /dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null
    "$wineserver" -k > /dev/null 2>&1
    rm -rf "$scratch"
}
trap cleanup EXIT

# A fresh prefix takes a while to set up; every run after it is quick while
# its server stays up.
echo "test-windows: preparing a Wine prefix in $WINEPREFIX"
# Mono and Gecko are not wanted (and could not be fetched anyway).
if ! HOME=$scratch WINEDLLOVERRIDES="mscoree,mshtml=" timeout 600 "$wine" wineboot -i > "$scratch/wineboot.log" 2>&1; then
    echo "test-windows: wineboot failed:"; tail -20 "$scratch/wineboot.log"; exit 1
fi

passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); echo "ok    $1"; }
fail() { failed=$((failed + 1)); echo "FAIL  $1"; }
skip() { skipped=$((skipped + 1)); echo "SKIP  $1"; }

mask() { sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' "$1"; }
to_lf() { perl -pe 's/\r\n/\n/g' "$1"; }
# Line ends that are a lone LF, not CR LF.
bare_lf() { perl -0777 -ne 'print scalar(() = /(?<!\r)\n/g)' "$1"; }

# Runs kelvra.exe in $1 (working directory) with standard input $2, writing
# $3.out, $3.err and $3.status. $4 is the user name, $5 the user's folder;
# the remaining arguments are NAME=VALUE for the environment.
#
# Wine sets USERNAME and USERPROFILE itself: the name from USER, the folder
# as C:\users\<name>. So the user gets the case's name, and that folder in
# the prefix becomes a link to the case's user folder. The name is taken by
# the first program a Wine server runs, so a new name needs a new server.
server_user=""
run_exe() {
    local work=$1 input=$2 result=$3 user=$4 profile=$5
    shift 5
    if [ "$user" != "$server_user" ]; then
        "$wineserver" -k > /dev/null 2>&1
        "$wineserver" -w > /dev/null 2>&1
        "$wineserver" -p > /dev/null 2>&1
        server_user=$user
    fi
    mkdir -p "$profile"
    rm -rf "${WINEPREFIX:?}/drive_c/users/$user"
    ln -s "$profile" "$WINEPREFIX/drive_c/users/$user"
    (cd "$work" && timeout 60 env -i WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all USER="$user" \
        PATH=/usr/local/bin:/usr/bin:/bin LANG=C TZ=UTC "$@" "$wine" "$exe" \
        < "$input" > "$result.out" 2> "$result.err")
    echo $? > "$result.status"
}

run_linux() {
    local work=$1 input=$2 result=$3
    (cd "$work" && timeout 20 env -i USERNAME=ana HOME="$scratch/linux-home" PATH=/usr/local/bin:/usr/bin:/bin \
        LANG=C TZ=UTC "$linux" < "$input" > "$result.out" 2> "$result.err")
    echo $? > "$result.status"
}

# One case folder, as tests/e2e/run_case.sh runs it on Linux.
run_case() {
    local case_dir=$1 name
    name=$(basename "$case_dir")
    local tmp=$scratch/case-$name
    local work=$tmp/work home=$tmp/home
    mkdir -p "$work" "$home"
    [ -d "$case_dir/before" ] && cp -R "$case_dir/before/." "$work/"

    local env_args=(HOME="$home") user=ana profile="" line
    if [ -f "$case_dir/env" ]; then
        while IFS= read -r line || [ -n "$line" ]; do
            [ -n "$line" ] || continue
            line=${line//@HOME@/$home}
            env_args+=("$line")
            case $line in
                USERNAME=*) user=${line#USERNAME=} ;;
                USERPROFILE=*) profile=${line#USERPROFILE=} ;;
                HOME=*) home=${line#HOME=} ;;
            esac
        done < "$case_dir/env"
    fi
    # Without USERPROFILE the Linux build takes HOME as the user's folder.
    [ -n "$profile" ] || profile=$home
    if [ -z "$user" ] || [ -z "$profile" ]; then
        skip "$name: an unset USERNAME or user folder cannot be had under Wine, which always sets both"
        return
    fi

    if [ -f "$case_dir/faketime" ]; then
        skip "$name: faketime does not reach the clock of a program under Wine"
        return
    fi
    run_exe "$work" "$case_dir/stdin" "$tmp/run" "$user" "$profile" "${env_args[@]}"

    local why=() want_status=0
    [ -f "$case_dir/status" ] && want_status=$(cat "$case_dir/status")
    [ "$(cat "$tmp/run.status")" = "$want_status" ] || why+=("exit status $(cat "$tmp/run.status"), expected $want_status")
    [ -s "$tmp/run.err" ] && why+=("standard error: $(head -c 300 "$tmp/run.err")")
    to_lf "$tmp/run.out" > "$tmp/out.lf"
    if ! cmp -s <(mask "$tmp/out.lf") "$case_dir/stdout"; then
        why+=("output differs: $(diff <(mask "$tmp/out.lf" | cat -A) <(cat -A "$case_dir/stdout") | head -10)")
    fi
    [ "$(bare_lf "$tmp/run.out")" = 0 ] || why+=("output has line ends without CR")

    local expected=$case_dir/after want have f
    [ -d "$expected" ] || expected=$case_dir/before
    want=$( [ -d "$expected" ] && cd "$expected" && find . -type f | sort)
    have=$(cd "$work" && find . -type f | sort)
    [ "$want" = "$have" ] || why+=("files differ: $(diff <(echo "$want") <(echo "$have") | tr '\n' ' ')")
    for f in $want; do
        [ -f "$work/$f" ] || continue
        # A file the program did not touch is compared as it is; one it wrote
        # must have CR LF line ends and read as the Linux one once they are LF.
        if [ -f "$case_dir/before/$f" ] && cmp -s "$work/$f" "$case_dir/before/$f" &&
            cmp -s <(mask "$work/$f") "$expected/$f"; then
            continue
        fi
        [ "$(bare_lf "$work/$f")" = 0 ] || why+=("file $f has line ends without CR")
        to_lf "$work/$f" > "$tmp/file.lf"
        cmp -s <(mask "$tmp/file.lf") "$expected/$f" ||
            why+=("file $f differs: $(diff <(mask "$tmp/file.lf" | cat -A) <(cat -A "$expected/$f") | head -6)")
    done

    if [ ${#why[@]} -eq 0 ]; then pass "$name"; else fail "$name: $(printf '%s; ' "${why[@]}")"; fi
}

echo "test-windows: end-to-end cases"
for case_dir in "$cases_dir"/*/; do
    [ -f "$case_dir/stdin" ] && run_case "${case_dir%/}"
done

echo "test-windows: files written on Windows"
notes=$'1\nCumpleaños de mamá\n14:30\nComprar el pastel: ¿chocolate o fresa? ñandú\n\n1\nCena con Ana\n21:00\nRestaurante del puerto\n\n'
saved_lf=$'Cumpleaños de mamá-\n14:30-\nComprar el pastel: ¿chocolate o fresa? ñandú-\nCena con Ana-\n21:00-\nRestaurante del puerto-\n'
saved_crlf=${saved_lf//$'\n'/$'\r\n'}

t=$scratch/written && mkdir -p "$t/work"
printf '%s5\n\n7\n\n' "$notes" > "$t/in"
run_exe "$t/work" "$t/in" "$t/run" ana "$t/home"
for f in MiListaNotas.txt NotasGuardadas.txt; do
    if [ ! -s "$t/work/$f" ]; then
        fail "$f written by kelvra.exe: missing or empty"
    elif [ "$(bare_lf "$t/work/$f")" != 0 ] || ! grep -q $'\r$' "$t/work/$f"; then
        fail "$f written by kelvra.exe: line ends are not CR LF"
    else
        pass "$f written by kelvra.exe has CR LF line ends"
    fi
done

echo "test-windows: saved notes from one system load in the other"
# Loading a file and saving again gives the same notes back, each system
# with its own line ends. A field that kept a CR, or a note lost, shows.
reload=$'6\n\n7\n\n'
t=$scratch/to-linux && mkdir -p "$t/work"
printf '%s' "$saved_crlf" > "$t/work/NotasGuardadas.txt"
printf '%s' "$reload" > "$t/in"
run_linux "$t/work" "$t/in" "$t/run"
if cmp -s "$t/work/NotasGuardadas.txt" <(printf '%s' "$saved_lf") && grep -q "Notas Cargadas correctamente" "$t/run.out"; then
    pass "a file saved by kelvra.exe loads in the Linux build"
else
    fail "a file saved by kelvra.exe loads in the Linux build: $(cat -A "$t/work/NotasGuardadas.txt" | head -6)"
fi
# The same the other way, starting from the Linux build's own save.
t=$scratch/to-windows && mkdir -p "$t/linux" "$t/work"
printf '%s7\n\n' "$notes" > "$t/save"
run_linux "$t/linux" "$t/save" "$t/saved"
if ! cmp -s "$t/linux/NotasGuardadas.txt" <(printf '%s' "$saved_lf"); then
    fail "the Linux build saves the notes as expected: $(cat -A "$t/linux/NotasGuardadas.txt" 2> /dev/null | head -6)"
fi
cp "$t/linux/NotasGuardadas.txt" "$t/work/" 2> /dev/null
printf '%s' "$reload" > "$t/in"
run_exe "$t/work" "$t/in" "$t/run" ana "$t/home"
if cmp -s "$t/work/NotasGuardadas.txt" <(printf '%s' "$saved_crlf") && grep -q "Notas Cargadas correctamente" "$t/run.out"; then
    pass "a file saved by the Linux build loads in kelvra.exe"
else
    fail "a file saved by the Linux build loads in kelvra.exe: $(cat -A "$t/work/NotasGuardadas.txt" | head -6)"
fi

# Saved by an earlier Windows build in the console's code page 850: loading
# reads it as 850 (the OEM code page Wine gives es_ES.UTF-8) and saving
# writes it as UTF-8.
t=$scratch/cp850 && mkdir -p "$t/work"
printf 'Reuni\xa2n con Bego\xa4a-\r\n14:30-\r\nCumplea\xa4os de mam\xa0-\r\n' > "$t/work/NotasGuardadas.txt"
printf '%s' "$reload" > "$t/in"
run_exe "$t/work" "$t/in" "$t/run" ana "$t/home" "$spanish"
if cmp -s "$t/work/NotasGuardadas.txt" <(printf 'Reunión con Begoña-\r\n14:30-\r\nCumpleaños de mamá-\r\n'); then
    pass "a file of code page 850 loads in kelvra.exe with the right letters"
else
    fail "a file of code page 850 loads in kelvra.exe: $(cat -A "$t/work/NotasGuardadas.txt" | head -3)"
fi

echo "test-windows: the warning box"
# A note due this minute raises the box at once; a minute about to turn is
# waited out first.
box_check() {
    local t=$scratch/box k
    mkdir -p "$t/work"
    Xvfb -displayfd 3 -nolisten tcp 3> "$t/display" 2> "$t/xvfb.log" &
    xvfb_pid=$!
    for ((k = 0; k < 50; k++)); do [ -s "$t/display" ] && break; sleep 0.2; done
    [ -s "$t/display" ] || { fail "MessageBoxW: Xvfb did not start: $(head -c 300 "$t/xvfb.log")"; return; }
    local display=:$(cat "$t/display")
    # Wine's desktop takes the display of the first program of its server:
    # a server of its own for this check, started with the display.
    server_user=""
    run_exe "$t/work" /dev/null "$t/warm" ana "$t/home" DISPLAY="$display"
    while [ "$(date -u +%S)" -ge 50 ]; do sleep 1; done
    printf '1\nReunión con Begoña\n%s\nComprar el pastel: ¿chocolate o fresa? ñandú\n\n2\n\n' "$(date -u +%H:%M)" > "$t/in"
    run_exe "$t/work" "$t/in" "$t/run" ana "$t/home" DISPLAY="$display" &
    local run=$!
    timeout 90 env -i WINEPREFIX="$WINEPREFIX" WINEDEBUG=-all PATH=/usr/bin:/bin DISPLAY="$display" \
        "$wine" "$read_box" > "$t/box" 2> "$t/box.err"
    wait "$run"
    kill "$xvfb_pid" 2> /dev/null
    xvfb_pid="" server_user=""
    if cmp -s "$t/box" <(printf 'Reunión con Begoña\nComprar el pastel: ¿chocolate o fresa? ñandú\n') && [ "$(cat "$t/run.status")" = 0 ]; then
        pass "MessageBoxW shows the note's name and description, accents included, and OK ends it"
    else
        fail "MessageBoxW: read back $(cat -A "$t/box"), kelvra.exe status $(cat "$t/run.status"): $(tail -c 600 "$t/run.out" | tr '\n' ' '; head -c 300 "$t/box.err" "$t/run.err")"
    fi
}
box_check

echo "test-windows: at a console"
# The console half of the layer (clearing, colours, the single key press,
# Enter during the notification wait) needs a console: Wine gives one when
# the program runs on a terminal, here one of a private tmux server.
screen_text() { tmux -u -L "$tmux_socket" capture-pane -t kelvra -p -e -S - 2> /dev/null; }
# Waits up to $2 seconds for the screen to match the extended regex $1.
wait_for() {
    local k
    for ((k = 0; k < $2 * 5; k++)); do
        screen_text | perl -pe 's/\e\[[0-9;]*m//g' | grep -qE "$1" && return 0
        sleep 0.2
    done
    return 1
}
console_check() {
    local t=$scratch/console why=()
    mkdir -p "$t/work" "$t/home"
    # A server for this check's own user, started afresh.
    run_exe "$t/work" /dev/null "$t/warm" ana "$t/home"
    # A UTF-8 terminal: Wine's console speaks the locale's encoding to it.
    LC_ALL=es_ES.UTF-8 tmux -u -L "$tmux_socket" new-session -d -s kelvra -x 100 -y 60 -c "$t/work" \
        "env -i WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all USER=ana TERM=xterm PATH=/usr/bin:/bin $spanish TZ=UTC '$wine' '$exe'; sleep 600"
    if ! wait_for 'Importar Notas De Documentos' 60; then
        tmux -L "$tmux_socket" kill-server
        fail "kelvra.exe at a console: the menu never came up"
        return
    fi
    tmux -L "$tmux_socket" send-keys -t kelvra 9 Enter
    wait_for 'Presione una tecla' 20 || why+=("no key-wait after option 9")
    # Cleared: the picture starts on the top line, in yellow.
    local top
    top=$(tmux -L "$tmux_socket" capture-pane -t kelvra -p -e | head -1)
    [[ $top == *$'\e[33m'*'.-------------------------.'* ]] || why+=("picture not at the top in yellow: $(printf '%s' "$top" | cat -v)")
    # One key, no Enter, ends the wait; the next menu is not red.
    tmux -L "$tmux_socket" send-keys -t kelvra x
    sleep 1
    screen_text | perl -0777 -ne 'exit(/Presione una tecla[^\n]*\n+(\e\[[0-9;]*m)*\s*Kelvra/ ? 0 : 1)' ||
        why+=("a single key did not end the key-wait")
    local shown
    shown=$(tmux -L "$tmux_socket" capture-pane -t kelvra -p -e)
    [[ $shown == *$'\e[33m'* && $shown != *$'\e[31m'* ]] || why+=("the screen is not yellow after the picture")
    # Enter during the notification wait leaves the mode.
    tmux -L "$tmux_socket" send-keys -t kelvra 2 Enter
    wait_for 'la hora es: [0-9]{2}:[0-9]{2}' 20 || why+=("no clock line in option 2")
    tmux -L "$tmux_socket" send-keys -t kelvra Enter
    local k left=0
    for ((k = 0; k < 60; k++)); do
        sleep 0.25
        if screen_text | perl -pe 's/\e\[[0-9;]*m//g' | perl -0777 -ne 'exit(/la hora es: [^\n]*\n(la hora es: [^\n]*\n)*Presione una tecla/ ? 0 : 1)'; then
            left=1
            break
        fi
    done
    [ "$left" = 1 ] || why+=("Enter during the wait did not leave option 2")
    # Typed with accents, the note reads back on the screen and is saved as
    # UTF-8. A step waits for the screen line it brings, if any: the console
    # keeps the keys typed ahead.
    local step
    for step in 'x|' '1 Enter|Defina el nombre' '-l Reunión|Reunión' 'Enter|Defina el horario' \
        '14:30 Enter|Defina la descripcion' '-l ñandú|ñandú' 'Enter|' 'x|' '3 Enter| Reunión \| 14:30 \| ñandú' \
        'x|' '7 Enter|Notas guardadas'; do
        # shellcheck disable=SC2086
        tmux -L "$tmux_socket" send-keys -t kelvra ${step%%|*}
        [ -z "${step#*|}" ] || wait_for "${step#*|}" 20 || why+=("typing: no '${step#*|}' after '${step%%|*}'")
    done
    cmp -s "$t/work/NotasGuardadas.txt" <(printf 'Reunión-\r\n14:30-\r\nñandú-\r\n') ||
        why+=("typed note saved as $(cat -A "$t/work/NotasGuardadas.txt" 2> /dev/null)")
    # Wine's console puts the terminal's colours back by itself when the
    # program ends, so the restoring cannot be seen from here.
    tmux -L "$tmux_socket" kill-server
    if [ ${#why[@]} -eq 0 ]; then pass "kelvra.exe at a console: clearing, yellow, one key, Enter leaves the wait, accents typed and shown"; else fail "kelvra.exe at a console: $(printf '%s; ' "${why[@]}")"; fi
}
if command -v tmux > /dev/null; then
    console_check
else
    skip "kelvra.exe at a console: tmux is missing (apt-get install tmux)"
fi

echo "test-windows: program image"
t=$scratch/image && mkdir -p "$t"
wrestool -l "$exe" > "$t/resources"
groups=$(grep -c -- '--type=14 ' "$t/resources")
icons=$(grep -c -- '--type=3 ' "$t/resources")
versions=$(grep -c -- '--type=16 ' "$t/resources")
wrestool -x --type=14 -o "$t/icon.ico" "$exe" 2> /dev/null
images=$(icotool -l "$t/icon.ico" 2> /dev/null | sort)
want_images=$(for size in 16 24 32 48 64 256; do for depth in 32 8; do
    echo "--width=$size --height=$size --bit-depth=$depth"; done; done | sort)
have_images=$(echo "$images" | sed -E 's/.*(--width=[0-9]+ --height=[0-9]+ --bit-depth=[0-9]+).*/\1/' | sort)
if [ "$groups" = 1 ] && [ "$icons" = 12 ] && [ "$have_images" = "$want_images" ]; then
    pass "one icon group of 12 images"
else
    fail "icon: $groups groups, $icons images: $(echo "$images" | tr '\n' ' ')"
fi
wrestool -x --raw --type=16 "$exe" 2> /dev/null | od -An -tx1 -v | tr -d ' \n' > "$t/version.hex"
utf16() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n' | sed 's/../&00/g'; }
# The fixed part: signature, structure version, then file and product
# version 1.1.0.0 (most significant word first, each word little-endian).
fixed=bd04effe""00000100""01000100""00000000""01000100""00000000
why=()
[ "$versions" = 1 ] || why+=("$versions version records")
grep -q "$fixed" "$t/version.hex" || why+=("file or product version is not 1.1.0.0")
grep -q "$(utf16 0C0A04E4)" "$t/version.hex" || why+=("no string block 0C0A04E4")
grep -q "$(utf16 Translation)" "$t/version.hex" || why+=("no Translation")
grep -q "0a0ce404" "$t/version.hex" || why+=("Translation is not 0x0C0A, 1252")
grep -q "$(utf16 1.1.0.0)" "$t/version.hex" || why+=("no text version 1.1.0.0")
if [ ${#why[@]} -eq 0 ]; then pass "version record 1.1.0.0, Spanish (Spain), 1252"; else fail "version record: ${why[*]}"; fi

echo
echo "test-windows: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
