#!/usr/bin/env bash
# Two saves at once: the first is held by strace once its file is on the
# disk, and the second runs from start to end meanwhile. Each says what
# happened to its own save, and the file holds the whole notes of the last
# rename, with no temporary file left.
set -u
. "$(dirname "$0")/lib.sh"
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
need strace strace
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clean_env "$tmp"
save() { printf '1\n%s\n%s\n%s\n\n7\n\n' "$@" | (cd "$tmp" && timeout 20 env -i "${env_args[@]}" "${wrap[@]}" "$bin"); }
# LeakSanitizer cannot work under strace.
wrap=(env "ASAN_OPTIONS=${ASAN_OPTIONS:-}:detect_leaks=0"
    strace -qq -o /dev/null -e trace=fsync -e inject=fsync:delay_exit=1000000)
save A 10:00 uno > "$tmp/first" &
until compgen -G "$tmp/NotasGuardadas.txt.?*" > /dev/null; do sleep 0.01; done
wrap=()
save B 09:00 dos > "$tmp/second"
wait
for f in first second; do
    grep -q '^ Notas guardadas correctamente$' "$tmp/$f" && ok "the $f save says it was saved" ||
        fail "the $f save: $(grep -a 'guardar' "$tmp/$f")"
done
cmp -s "$tmp/NotasGuardadas.txt" <(printf 'A-\n10:00-\nuno-\n') && ok "the file holds the last rename" ||
    fail "the file holds $(od -c "$tmp/NotasGuardadas.txt" | head -3)"
[ "$(ls "$tmp" | grep -c NotasGuardadas)" = 1 ] && ok "no temporary file left" || fail "left: $(ls "$tmp")"
tally
