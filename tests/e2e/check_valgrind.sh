#!/usr/bin/env bash
# Memcheck over scripted sessions of the real program that use every option
# but 2 (it waits on the clock) and 4 (it starts the printer): no memory
# errors, no heap block left at exit, no file left open. One session goes
# the way a user would; one runs where every file the program writes or
# reads fails, so the early ways out of each command are covered too.
#
# Valgrind cannot run a program built with AddressSanitizer: the sanitizer
# build leaves this check out. Without valgrind it is skipped (status 77).
#
# Usage: check_valgrind.sh <path to kelvra> <tests/e2e dir>
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")

command -v valgrind > /dev/null || { echo "skipped: valgrind is not installed (Debian: valgrind)"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

passed=0
failed=0

# session NAME INPUT: runs one session under memcheck in $tmp/NAME/work and
# judges valgrind's report. The caller prepares the directory first.
session() {
    local name=$1 input=$2
    local dir=$tmp/$name
    local problems=()
    printf "$input" > "$dir/in"
    (cd "$dir/work" && env -i PATH=/usr/bin:/bin LANG=C TZ=UTC USERNAME=ana HOME="$dir/home" \
        valgrind --tool=memcheck --leak-check=full --show-leak-kinds=all \
        --errors-for-leak-kinds=all --track-fds=yes --error-exitcode=99 \
        --log-file="$dir/valgrind.log" "$bin" < "$dir/in" > "$dir/out" 2> "$dir/err")
    local status=$?
    local log=$dir/valgrind.log
    [ $status = 0 ] || problems+=("exit status $status")
    [ -s "$dir/err" ] && problems+=("standard error: $(head -c 300 "$dir/err")")
    grep -q 'ERROR SUMMARY: 0 errors' "$log" || problems+=("memory errors")
    grep -q 'in use at exit: 0 bytes in 0 blocks' "$log" || problems+=("heap blocks left at exit")
    # Descriptors the program opened itself are listed with where they were
    # opened; those handed down by the shell say so.
    local own
    own=$(awk '/Open (file )?descriptor/ { fd = $0; getline; if ($0 !~ /inherited from parent/) print fd }' "$log")
    [ -z "$own" ] && [ -n "$(grep 'FILE DESCRIPTORS' "$log")" ] || problems+=("files left open: $own")
    for line in "${expect[@]}"; do
        grep -qF -- "$line" "$dir/out" || problems+=("\"$line\" never printed")
    done
    if [ ${#problems[@]} = 0 ]; then
        passed=$((passed + 1))
        echo "ok   $name: $(sed -n 's/^==[0-9]*== *total heap usage: //p' "$log")"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        for p in "${problems[@]}"; do echo "     $p"; done
        sed 's/^/     | /' "$log" | head -60
    fi
}

# A user's session: a note, an invalid choice, the list, the export, save
# and load, the import, the banner, the list again.
dir=$tmp/everyday
mkdir -p "$dir/work" "$dir/home/Documents/Kelvra"
printf 'Pre-reunion-\n09:05-\nSala 2-\n' > "$dir/home/Documents/Kelvra/NotasGuardadas.txt"
expect=('Notas guardadas correctamente' 'Notas Cargadas correctamente' 'Notas Importadas correctamente'
        ' | 09:05 | Sala 2 ')
session everyday '1\nCita\n14:30\nDentista\n\nx\n3\n\n5\n\n7\n\n6\n\n8\n\n9\n\n3\n\n'

# Every file fails: the names the program writes are directories, so each
# command opens, fails and reports; the import folder does not exist.
dir=$tmp/failures
mkdir -p "$dir/work/MiListaNotas.txt" "$dir/work/NotasGuardadas.txt" "$dir/home"
expect=('No se pudo crear MiListaNotas.txt' 'No se pudieron guardar las notas'
        'No se pudo leer NotasGuardadas.txt' 'No se pudo abrir')
session failures '1\nCita\n14:30\nDentista\n\n5\n\n7\n\n6\n\n8\n\n3\n\n'

echo "$passed passed, $failed failed"
[ $failed = 0 ]
