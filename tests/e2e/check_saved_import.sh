#!/usr/bin/env bash
# Option 8 on the real program: the saved-notes file is taken from
# Documents/Kelvra under USERPROFILE when it is set, else under HOME; with
# neither, or with no file there, one line says so and nothing is added.
#
# Each session imports, then saves with option 7, so the saved file shows
# byte for byte which notes the import added. The imported file itself must
# be left as it was, and the working directory must hold only the saved file.
#
# Usage: check_saved_import.sh <path to kelvra> <tests/e2e dir>
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# A CR LF file under the home folder, an LF one under the profile folder.
docs=Documents/Kelvra/NotasGuardadas.txt
mkdir -p "$tmp/casa/Documents/Kelvra" "$tmp/perfil/Documents/Kelvra" "$tmp/vacia"
printf 'Cita-\r\n14:30-\r\nDentista-\r\nPre-reunion-\r\n09:05-\r\nSala-3-\r\n' > "$tmp/casa/$docs"
printf 'Perfil-\n07:00-\nDesayuno-\n' > "$tmp/perfil/$docs"
cp "$tmp/casa/$docs" "$tmp/casa.orig"
cp "$tmp/perfil/$docs" "$tmp/perfil.orig"

failed=0
# run NAME EXPECTED_MESSAGE EXPECTED_SAVED_FILE [VAR=VALUE ...]
run() {
    local name=$1 message=$2 saved=$3
    shift 3
    local work=$tmp/work-$name
    mkdir -p "$work"
    local env_args=(USERNAME=ana PATH=/usr/bin:/bin LANG=C TZ=UTC "$@")
    [ -n "${ASAN_OPTIONS:-}" ] && env_args+=("ASAN_OPTIONS=$ASAN_OPTIONS")
    [ -n "${UBSAN_OPTIONS:-}" ] && env_args+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
    (cd "$work" && printf '8\n\n7\n\n' |
        timeout 20 env -i "${env_args[@]}" "$bin" > "$tmp/out" 2> "$tmp/err")
    local status=$?
    # What the two commands printed, without the menu and the key-waits.
    local said
    said=$(grep -av -e '^ \*' -e 'Kelvra    $' -e '^Presione' -e '^ *$' "$tmp/out" | sed 's/^ //')
    local want
    want=$(printf '%s\nNotas guardadas correctamente' "$message")
    local problems=()
    [ "$status" = 0 ] || problems+=("exit status $status")
    [ -s "$tmp/err" ] && problems+=("standard error: $(head -c 300 "$tmp/err")")
    [ "$said" = "$want" ] || problems+=("printed [$said], expected [$want]")
    cmp -s <(printf "$saved") "$work/NotasGuardadas.txt" ||
        problems+=("saved file: $(od -c "$work/NotasGuardadas.txt" | head -5)")
    [ "$(ls -A "$work")" = "NotasGuardadas.txt" ] || problems+=("left in the folder: $(ls -A "$work")")
    cmp -s "$tmp/casa.orig" "$tmp/casa/$docs" || problems+=("the home folder's file changed")
    cmp -s "$tmp/perfil.orig" "$tmp/perfil/$docs" || problems+=("the profile's file changed")
    if [ ${#problems[@]} -gt 0 ]; then
        echo "FAIL $name:"
        printf '  %s\n' "${problems[@]}"
        failed=1
    else
        echo "ok   $name"
    fi
}

home_notes='Cita-\n14:30-\nDentista-\nPre-reunion-\n09:05-\nSala-3-\n'
run home "Notas Importadas correctamente" "$home_notes" HOME="$tmp/casa"
run profile "Notas Importadas correctamente" 'Perfil-\n07:00-\nDesayuno-\n' \
    USERPROFILE="$tmp/perfil"
run profile_before_home "Notas Importadas correctamente" 'Perfil-\n07:00-\nDesayuno-\n' \
    HOME="$tmp/casa" USERPROFILE="$tmp/perfil"
run empty_profile "Notas Importadas correctamente" "$home_notes" HOME="$tmp/casa" USERPROFILE=
run neither "No se encontro la carpeta del usuario" ''
run no_file "No se pudo abrir $tmp/vacia/$docs" '' HOME="$tmp/vacia"
exit $failed
