#!/usr/bin/env bash
# A case's wrap: runs the program on a private X server (Xvfb), writes the
# title of the first zenity box it puts up to box-title in the working
# directory, answers the box with KEY through xdotool, and says on standard
# error if a box is still up once the program has ended.
#
#   bash with_desktop.sh KEY PROGRAM...
set -u
. "$(dirname "$0")/lib.sh"
key=$1
shift
need Xvfb xvfb
need xdotool xdotool
need zenity zenity
need "$1" "$1"
tmp=$(mktemp -d)
# Xvfb picks a free display itself and writes its number.
Xvfb -displayfd 3 -nolisten tcp 3> "$tmp/display" > "$tmp/xvfb.log" 2>&1 < /dev/null &
xvfb=$!
trap 'kill $xvfb; rm -rf "$tmp"' EXIT
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")
# The sanitizers' runtime need not come first when faketime preloads itself.
export ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0

"$@" <&0 &
program=$!
box=$(timeout 20 xdotool search --sync --onlyvisible --class zenity | head -1)
if [ -n "$box" ]; then
    xdotool getwindowname "$box" > box-title
    xdotool windowfocus --sync "$box" key "$key"
fi
wait $program
status=$?
[ -z "$(xdotool search --onlyvisible --class zenity)" ] || echo "a box is still up" >&2
exit $status
