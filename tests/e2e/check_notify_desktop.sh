#!/usr/bin/env bash
# Option 2 with the real zenity on a private X server (Xvfb), the clock
# faked to the note's minute. The box's title must read back as the note's
# UTF-8 name; the box is then answered through xdotool, and the mode returns
# to the menu after that cycle without the box coming back.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
for tool in Xvfb xdotool zenity faketime; do
    command -v $tool > /dev/null || { echo "$tool is not installed"; exit 1; }
done
tmp=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill $xvfb; rm -rf "$tmp"' EXIT

# Xvfb picks a free display itself and writes its number.
exec 3> "$tmp/display"
Xvfb -displayfd 3 -nolisten tcp > "$tmp/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "Xvfb did not start:"; cat "$tmp/xvfb.log"; exit 1; }
export DISPLAY=:$(head -1 "$tmp/display")

name='Reunión con Begoña'
text='Comprar el pastel: ¿chocolate o fresa? ñandú'
printf '1\n%s\n14:30\n%s\n\n2\n\n' "$name" "$text" > "$tmp/in"
asan=()
if grep -qa __asan_init "$bin"; then
    asan=(ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0)
fi

fail=0
# case | the key that answers the box
while IFS='|' read -r case key; do
    d=$tmp/$case
    mkdir -p "$d"
    (cd "$d" && exec timeout 30 env -i TZ=UTC PATH=/usr/bin:/bin HOME="$d" LANG=C.UTF-8 \
        DISPLAY="$DISPLAY" "${asan[@]}" faketime -f '@2026-12-05 14:30:00' "$bin" \
        < "$tmp/in" > out 2> err) &
    program=$!
    box=$(timeout 20 xdotool search --sync --onlyvisible --class zenity | head -1)
    if [ -z "$box" ]; then
        echo "$case: no zenity box came up"; fail=1
    else
        title=$(xdotool getwindowname "$box")
        [ "$title" = "$name" ] || { echo "$case: box titled '$title'"; fail=1; }
        xdotool windowfocus --sync "$box" key "$key"
    fi
    wait $program
    status=$?
    [ "$status" = 0 ] || { echo "$case: exit status $status"; fail=1; }
    [ -s "$d/err" ] && { echo "$case: standard error:"; head -c 500 "$d/err"; fail=1; }
    [ "$(grep -c '^la hora es: 14:30$' "$d/out")" = 1 ] || { echo "$case: not exactly one cycle"; fail=1; }
    grep -q 'Aceptar' "$d/out" && { echo "$case: console box drawn"; fail=1; }
    # The menu before the note, before option 2 and after it.
    [ "$(grep -c 'Importar Notas De Documentos' "$d/out")" = 3 ] || { echo "$case: no menu after option 2"; fail=1; }
    left=$(xdotool search --onlyvisible --class zenity)
    [ -z "$left" ] || { echo "$case: a box is still up"; fail=1; }
done << 'EOF_CASES'
ok|Return
closed|Escape
EOF_CASES
exit $fail
