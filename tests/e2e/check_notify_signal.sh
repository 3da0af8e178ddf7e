#!/usr/bin/env bash
# SIGTERM while the desktop's box is up: the program dies of the signal and
# takes its box program with it; neither is left running.
set -u
. "$(dirname "$0")/lib.sh"
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/bin"
printf '#!/bin/sh\necho $$ > %s/box.pid\nexec sleep 60\n' "$tmp" > "$tmp/bin/zenity"
chmod +x "$tmp/bin/zenity"
clean_env "$tmp"
printf '1\nCita\n%s\nd\n\n1\nCita\n%s\nd\n\n2\n' "$(TZ=UTC date +%H:%M)" \
    "$(TZ=UTC date -d '+1 minute' +%H:%M)" > "$tmp/in"
(cd "$tmp" && exec env -i "${env_args[@]}" DISPLAY=:99 PATH="$tmp/bin:/usr/bin:/bin" "$bin" \
    < "$tmp/in" > /dev/null) &
program=$!
for _ in $(seq 100); do [ -s "$tmp/box.pid" ] && break; sleep 0.1; done
box=$(cat "$tmp/box.pid" 2> /dev/null)
kill -TERM $program
wait $program
[ $? = 143 ] && ok "the program dies of SIGTERM" || fail "the program's exit status"
gone() { [ -z "$(ps -o stat= -p "$1" 2> /dev/null | grep -v '^Z')" ]; }
for _ in $(seq 20); do gone "${box:-0}" && break; sleep 0.1; done
[ -n "$box" ] && gone "$box" && ok "the box goes with it" || { fail "the box outlived the program"; kill "$box"; }
tally
