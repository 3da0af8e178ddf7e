#!/usr/bin/env bash
# Option 4 with a stand-in `lp` first on PATH. It must be started by kelvra
# itself (no shell in between), in the working directory, with ListaNotas.txt
# as its only argument, once the file is complete and closed. A print command
# that fails, dies or never runs gives one error line; a report that cannot
# be written is never printed.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cases=$(cd "$2" && pwd)/cases/listing_print_without_lp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/bin"
cat > "$tmp/bin/lp" <<'EOF'
#!/bin/bash
echo called >> "$LP_RECORD/calls"
printf '%s\n' "$#" "$@" > "$LP_RECORD/args"
pwd > "$LP_RECORD/cwd"
cat "/proc/$PPID/comm" > "$LP_RECORD/parent"
cp ListaNotas.txt "$LP_RECORD/copy"
for fd in /proc/$PPID/fd/*; do readlink "$fd"; done | grep -c ListaNotas.txt > "$LP_RECORD/open"
echo "request id is oficina-1 (1 file(s))"
[ "$LP_STATUS" = kill ] && kill -9 $$
exit "$LP_STATUS"
EOF
chmod +x "$tmp/bin/lp"

mask() { sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' "$1"; }
fail=0
check() {  # what, expected, actual
    if [ "$2" != "$3" ]; then
        echo "$name: $1 is [$3], expected [$2]"
        fail=1
    fi
}
check_file() {  # what, expected file, actual file (masked), byte for byte
    if ! cmp -s "$2" <(mask "$3"); then
        echo "$name: $1 differs:"
        diff <(cat -A "$2") <(mask "$3" | cat -A) | head -20
        fail=1
    fi
}

# name, stand-in's exit status, what stands at ListaNotas.txt beforehand
for row in ok:0:none failing:3:none killed:kill:none blocked:0:dir; do
    IFS=: read -r name status blocker <<< "$row"
    work=$tmp/$name/work rec=$tmp/$name/rec
    mkdir -p "$work" "$rec"
    [ "$blocker" = dir ] && mkdir "$work/ListaNotas.txt"
    (cd "$work" && env -i USERNAME=ana HOME="$tmp" PATH="$tmp/bin:/usr/bin:/bin" LANG=C TZ=UTC \
        LP_RECORD="$rec" LP_STATUS="$status" timeout 20 "$bin" < "$cases/stdin" > "$rec/out")
    case $name in
        ok) perl -0pe 's/No se pudo imprimir ListaNotas.txt\n//' "$cases/stdout" > "$rec/want" ;;
        blocked) sed 's/No se pudo imprimir/No se pudo crear/' "$cases/stdout" > "$rec/want" ;;
        *) cp "$cases/stdout" "$rec/want" ;;
    esac
    check_file "the whole output" "$rec/want" "$rec/out"
    if [ "$blocker" = dir ]; then
        check "whether lp ran" "no" "$([ -e "$rec/calls" ] && echo yes || echo no)"
        continue
    fi
    check "lp's calls" "called" "$(cat "$rec/calls")"
    check "lp's arguments" "$(printf '1\nListaNotas.txt')" "$(cat "$rec/args")"
    check "lp's working directory" "$work" "$(cat "$rec/cwd")"
    check "lp's parent" "kelvra" "$(cat "$rec/parent")"
    check "kelvra's open handles on the report" "0" "$(cat "$rec/open")"
    check_file "the report lp found" "$cases/after/ListaNotas.txt" "$rec/copy"
    check_file "the report left behind" "$cases/after/ListaNotas.txt" "$work/ListaNotas.txt"
done
exit $fail
