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
for t in Xvfb:xvfb xdotool:xdotool zenity:zenity "$1:$1"; do need "${t%%:*}" "${t#*:}"; done
# Xvfb picks a free display itself and writes its number.
exec 3< <(Xvfb -displayfd 1 -nolisten tcp 2> /dev/null & echo $!)
read -r xvfb <&3 && read -t 10 -r display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
trap 'kill $xvfb' EXIT
# The sanitizers' runtime need not come first when faketime preloads itself.
export DISPLAY=:$display ASAN_OPTIONS=${ASAN_OPTIONS:-}:verify_asan_link_order=0
"$@" <&0 &
program=$!
box=$(timeout 20 xdotool search --sync --onlyvisible --class zenity | head -1)
[ -n "$box" ] && xdotool getwindowname "$box" > box-title && xdotool windowfocus --sync "$box" key "$key"
wait $program
status=$?
[ -z "$(xdotool search --onlyvisible --class zenity)" ] || echo "a box is still up" >&2
exit $status
