#!/usr/bin/env bash
# Option 2 on a desktop: a stand-in zenity, first on PATH with DISPLAY set,
# records the arguments it is given. Without zenity the console box stands in.
# Two notes, due this minute and the next, make one box come up whichever
# minute the first cycle sees.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/stub" "$tmp/empty" "$tmp/a" "$tmp/b"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> %s/args\n' "$tmp" > "$tmp/stub/zenity"
chmod +x "$tmp/stub/zenity"

name='Recibo $HOME'
text="Pagar \"luz\" \$(touch hacked) \`touch hacked\` <b>ya</b> & 'fin'"
export TZ=UTC
note() { printf '1\n%s\n%s\n%s\n\n' "$name" "$1" "$text"; }
{ note "$(date +%H:%M)"; note "$(date -d '+1 minute' +%H:%M)"; printf '2\n\n\n'; } > "$tmp/in"

run() {  # working dir, PATH
    (cd "$1" && timeout 30 env -i TZ=UTC HOME="$1" DISPLAY=:99 PATH="$2" "$bin" \
        < "$tmp/in" > out 2> err; echo $? > status)
}
run "$tmp/a" "$tmp/stub:/usr/bin:/bin" &
run "$tmp/b" "$tmp/empty" &
wait

fail=0
for d in a b; do
    [ "$(cat "$tmp/$d/status")" = 0 ] || { echo "$d: exit status $(cat "$tmp/$d/status")"; fail=1; }
    [ -s "$tmp/$d/err" ] && { echo "$d: standard error:"; head -c 500 "$tmp/$d/err"; fail=1; }
    [ "$(grep -c '^la hora es: [0-2][0-9]:[0-5][0-9]$' "$tmp/$d/out")" = 1 ] ||
        { echo "$d: not exactly one cycle"; fail=1; }
    [ -e "$tmp/$d/hacked" ] && { echo "$d: the description ran as a command"; fail=1; }
done
printf -- '--warning\n--no-markup\n--title=%s\n--text=%s\n' "$name" "$text" > "$tmp/want"
cmp -s "$tmp/args" "$tmp/want" || { echo "zenity got:"; cat -A "$tmp/args"; fail=1; }
grep -q 'Aceptar' "$tmp/a/out" && { echo "a: console box drawn beside zenity"; fail=1; }
grep -qF "| $text |" "$tmp/b/out" || { echo "b: no console box"; fail=1; }
exit $fail
