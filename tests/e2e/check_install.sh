#!/usr/bin/env bash
# Installs the build that holds the given program into an empty prefix and
# checks what lands there: exactly the expected files; a program that is
# found on PATH and runs a scripted session; manual pages that render without
# warnings; a desktop entry that opens the program in a terminal with its
# icon; and the icon itself, a 256x256 PNG.
#
#   bash check_install.sh <path to kelvra> <tests/e2e dir>
set -u
build=$(cd "$(dirname "$1")" && pwd)
source_dir=$(cd "$2/../.." && pwd)
for tool in groff:groff-base man:man-db desktop-file-validate:desktop-file-utils; do
    command -v "${tool%%:*}" > /dev/null ||
        { echo "skipped: ${tool%%:*} is not installed (Debian: ${tool#*:})"; exit 77; }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" > "$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    echo "FAIL: cmake --install failed"
    exit 1
fi

# --- What lands in the prefix -------------------------------------------------

man_en=share/man/man1/kelvra.1
man_es=share/man/es/man1/kelvra.1
desktop=share/applications/kelvra.desktop
icon=share/icons/hicolor/256x256/apps/kelvra.png
want=(bin/kelvra "$man_en" "$man_es")
if [ "$(uname -s)" = Linux ]; then
    want+=("$desktop")
    # The icon is installed once the drawing's PNG is in the tree.
    [ -f "$source_dir/resources/kelvra.png" ] && want+=("$icon")
fi
expected=$(printf '%s\n' "${want[@]}" | sort)
found=$(cd "$prefix" && find . -type f -o -type l | sed 's#^\./##' | sort)
if [ "$expected" != "$found" ]; then
    fail "the installed files differ from the expected ones (< expected, > installed):"
    diff <(echo "$expected") <(echo "$found")
fi

# Installed as they are in the tree, byte for byte.
for pair in "man/kelvra.1:$man_en" "man/es/kelvra.1:$man_es" \
    "packaging/kelvra.desktop:$desktop" "resources/kelvra.png:$icon"; do
    from=$source_dir/${pair%%:*}
    to=$prefix/${pair#*:}
    [ -f "$to" ] || continue
    cmp -s "$from" "$to" || fail "$to is not a copy of ${pair%%:*}"
done

# --- The program runs from the prefix -----------------------------------------
# Found by name on PATH, as a desktop entry or a shell finds it. One note is
# added and saved; the screen and the saved file are compared whole.

[ -x "$prefix/bin/kelvra" ] || fail "bin/kelvra is not executable"
work=$tmp/work
mkdir -p "$work" "$tmp/home"
env_args=(USERNAME=ana HOME="$tmp/home" PATH="$prefix/bin:/usr/bin:/bin" LANG=C TZ=UTC)
[ -n "${ASAN_OPTIONS:-}" ] && env_args+=("ASAN_OPTIONS=$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && env_args+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
printf '1\nCita\n14:30\nDentista\n\n7\n\n' > "$tmp/stdin"
(cd "$work" && timeout 20 env -i "${env_args[@]}" kelvra < "$tmp/stdin" > "$tmp/out" 2> "$tmp/err")
status=$?

menu='                  Kelvra    
 *****************************************
 * 1 Agregar una nota                    *
 * 2 Modo Notificacion de notas          *
 * 3 Ver lista de notas                  *
 * 4 Imprimir lista de notas             *
 * 5 Exportar lista de notas a un TXT    *
 * 6 Cargar Notas Guardadas              *
 * 7 Guardar Notas Actuales              *
 * 8 Importar Notas De Documentos        *
 *****************************************
 '
pause='Presione una tecla para continuar . . . '
{
    printf ' Bienvenido!      %s' "$menu"
    printf 'Defina el nombre de la nota\nDefina el horario de la nota\n'
    printf 'Defina la descripcion de la nota\n%s\n\n' "$pause"
    printf '%sNotas guardadas correctamente\n%s\n\n' "$menu" "$pause"
    printf '%s\n' "$menu"
} > "$tmp/want"
[ "$status" = 0 ] || fail "the installed program ended with status $status"
[ -s "$tmp/err" ] && fail "the installed program wrote to standard error: $(head -c 500 "$tmp/err")"
if ! cmp -s "$tmp/want" "$tmp/out"; then
    fail "the installed program's session differs (< expected, > shown):"
    diff <(cat -A "$tmp/want") <(cat -A "$tmp/out") | head -20
fi
if ! printf 'Cita-\n14:30-\nDentista-\n' | cmp -s - "$work/NotasGuardadas.txt"; then
    fail "the installed program's NotasGuardadas.txt differs"
fi

# --- Manual pages ---------------------------------------------------------------

# check_page FILE SECTION_NAME: renders the page and looks for its title line,
# its name section and the command's one-line summary.
check_page() {
    local page=$1 section=$2 text
    [ -f "$page" ] || return
    if ! groff -man -ww -z -Tutf8 "$page" > "$tmp/groff.err" 2>&1 || [ -s "$tmp/groff.err" ]; then
        fail "groff warns about $page: $(head -c 500 "$tmp/groff.err")"
    fi
    text=$(LANG=C.UTF-8 MANWIDTH=80 MANPAGER=cat PAGER=cat man -l "$page" 2> "$tmp/man.err")
    [ -s "$tmp/man.err" ] && fail "man -l $page warns: $(head -c 500 "$tmp/man.err")"
    grep -q 'KELVRA(1)' <<< "$text" || fail "$page has no title KELVRA(1)"
    grep -q "^ *$section\$" <<< "$text" || fail "$page has no $section section"
    grep -q '^ *kelvra - ' <<< "$text" || fail "$page has no 'kelvra - ' summary line"
}
check_page "$prefix/$man_en" NAME
check_page "$prefix/$man_es" NOMBRE

# The English page is where man looks for it by name.
where=$(man -M "$prefix/share/man" -w kelvra 2> /dev/null)
[ "$where" = "$prefix/$man_en" ] || fail "man -M finds '$where', not $prefix/$man_en"

# --- Desktop entry ----------------------------------------------------------------

entry=$prefix/$desktop
if [ -f "$entry" ]; then
    desktop-file-validate "$entry" > "$tmp/dfv" 2>&1 || fail "desktop-file-validate: $(cat "$tmp/dfv")"
    # The keys that make it open the program in a terminal with its icon.
    [ "$(head -n 1 "$entry")" = "[Desktop Entry]" ] || fail "$desktop does not start with [Desktop Entry]"
    for key in Type=Application Name=Kelvra Exec=kelvra Icon=kelvra Terminal=true; do
        grep -qx "$key" "$entry" || fail "$desktop lacks the line $key"
    done
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -x "$prefix/bin/$exec_name" ] || fail "$desktop runs '$exec_name', which is not in bin/"
    icon_name=$(sed -n 's/^Icon=//p' "$entry")
    if [ -f "$source_dir/resources/kelvra.png" ] && [ ! -f "$prefix/share/icons/hicolor/256x256/apps/$icon_name.png" ]; then
        fail "$desktop names the icon '$icon_name', which is not installed"
    fi
fi

# --- Icon ---------------------------------------------------------------------------

if [ -f "$prefix/$icon" ]; then
    # PNG signature, then the IHDR chunk: width and height, 4 bytes each.
    signature=$(od -An -tx1 -N8 "$prefix/$icon" | tr -d ' \n')
    [ "$signature" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
    size=$(od -An -tu1 -j16 -N8 "$prefix/$icon" | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4 "x" $5*16777216 + $6*65536 + $7*256 + $8 }')
    [ "$size" = 256x256 ] || fail "$icon is $size, not 256x256"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures installation checks failed"
    exit 1
fi
echo "installation into $prefix: all checks passed"
