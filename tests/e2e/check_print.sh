#!/usr/bin/env bash
# Option 4 with a stand-in `lp` first on PATH that fails: it ends with
# status 3, or is killed. Either way the program says in one line that the
# list was not printed, and the report stays behind. (A print that works is
# check_print_cups.sh, a missing lp the case listing_print_without_lp.)
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cases=$(cd "$2" && pwd)/cases/listing_print_without_lp
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/bin"
printf '#!/bin/bash\necho called >> "$LP_RECORD"\n[ "$LP_STATUS" = kill ] && kill -9 $$\nexit "$LP_STATUS"\n' > "$tmp/bin/lp"
chmod +x "$tmp/bin/lp"

mask() { sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' "$1"; }
fail=0
for status in 3 kill; do
    work=$tmp/$status
    mkdir "$work"
    (cd "$work" && env -i USERNAME=ana HOME="$tmp" PATH="$tmp/bin:/usr/bin:/bin" LANG=C TZ=UTC \
        LP_RECORD="$tmp/calls-$status" LP_STATUS="$status" timeout 20 "$bin" < "$cases/stdin" > "$tmp/out")
    [ "$(cat "$tmp/calls-$status")" = called ] || { echo "lp $status: lp not called once"; fail=1; }
    for pair in "$cases/stdout:$tmp/out" "$cases/after/ListaNotas.txt:$work/ListaNotas.txt"; do
        if ! cmp -s "${pair%%:*}" <(mask "${pair#*:}"); then
            echo "lp $status: ${pair#*:} differs:"; diff <(cat -A "${pair%%:*}") <(mask "${pair#*:}" | cat -A) | head -20
            fail=1
        fi
    done
done
exit $fail
