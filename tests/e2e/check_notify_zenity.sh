#!/usr/bin/env bash
# Option 2 on a desktop (DISPLAY set), with a stand-in zenity first on PATH,
# or none. Two notes, due this minute and the next, make one box come up
# whichever minute the first cycle sees. Each case runs one cycle: the box
# is acknowledged (OK, or closed), or the console box is drawn in the same
# cycle and its Enter comes from the input. zenity's own messages never
# reach the terminal, and nothing the user typed is run as a command.
# Then SIGTERM while the box is up ends the stand-in with the program.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

name='Recibo $HOME'
text="Pagar \"luz\" \$(touch hacked) \`touch hacked\` <b>ya</b> & 'fin'"
export TZ=UTC
note() { printf '1\n%s\n%s\n%s\n\n' "$name" "$1" "$text"; }
{ note "$(date +%H:%M)"; note "$(date -d '+1 minute' +%H:%M)"; printf '2\n\n\n'; } > "$tmp/in"

run() {  # case folder, PATH (the stand-in alone, so no real zenity is ever started)
    (cd "$1" && timeout 30 env -i TZ=UTC HOME="$1" DISPLAY=:99 PATH="$2" "$bin" \
        < "$tmp/in" > out 2> err; echo $? > status)
}

# case | the stand-in's commands ("-": no zenity) | console box drawn
cases=$(cat << 'EOF_CASES'
ok|printf "%s\n" "$@" > @D@/args|no
closed|exit 1|no
no_display|echo '(zenity:7): Gtk-WARNING **: 10:00:00.000: cannot open display: :99' >&2; exit 1|yes
missing|-|yes
EOF_CASES
)
while IFS='|' read -r case stand_in _; do
    d=$tmp/$case
    mkdir -p "$d/bin"
    if [ "$stand_in" != - ]; then
        printf '#!/bin/sh\n%s\n' "${stand_in//@D@/$d}" > "$d/bin/zenity"
        chmod +x "$d/bin/zenity"
    fi
    run "$d" "$d/bin" &
done <<< "$cases"
wait

fail=0
while IFS='|' read -r case _ console_box; do
    d=$tmp/$case
    [ "$(cat "$d/status")" = 0 ] || { echo "$case: exit status $(cat "$d/status")"; fail=1; }
    [ -s "$d/err" ] && { echo "$case: standard error:"; head -c 500 "$d/err"; fail=1; }
    [ "$(grep -c '^la hora es: [0-2][0-9]:[0-5][0-9]$' "$d/out")" = 1 ] ||
        { echo "$case: not exactly one cycle"; fail=1; }
    [ -e "$d/hacked" ] && { echo "$case: the description ran as a command"; fail=1; }
    if [ "$console_box" = yes ]; then
        grep -qF "| $text |" "$d/out" || { echo "$case: no console box"; fail=1; }
    else
        grep -q 'Aceptar' "$d/out" && { echo "$case: console box drawn beside zenity"; fail=1; }
    fi
done <<< "$cases"
printf -- '--warning\n--no-markup\n--title=%s\n--text=%s\n' "$name" "$text" > "$tmp/want"
cmp -s "$tmp/ok/args" "$tmp/want" || { echo "zenity got:"; cat -A "$tmp/ok/args"; fail=1; }

# SIGTERM while the box is up: neither the program nor its box is left.
d=$tmp/signal
mkdir -p "$d/bin"
printf '#!/bin/sh\necho $$ > %s/box.pid\nexec sleep 60\n' "$d" > "$d/bin/zenity"
chmod +x "$d/bin/zenity"
(cd "$d" && exec env -i TZ=UTC HOME="$d" DISPLAY=:99 PATH="$d/bin:/usr/bin:/bin" "$bin" \
    < "$tmp/in" > out 2> err) &
program=$!
for _ in $(seq 100); do [ -s "$d/box.pid" ] && break; sleep 0.1; done
box=$(cat "$d/box.pid" 2> /dev/null)
kill -TERM $program
wait $program
status=$?
[ "$status" = 143 ] || { echo "signal: exit status $status"; fail=1; }
gone() { [ -z "$(ps -o stat= -p "$1" 2> /dev/null | grep -v '^Z')" ]; }
for _ in $(seq 20); do gone "${box:-0}" && break; sleep 0.1; done
if [ -z "$box" ]; then
    echo "signal: the box never came up"; fail=1
elif ! gone "$box"; then
    echo "signal: the box outlived the program"; kill "$box"; fail=1
fi
exit $fail
