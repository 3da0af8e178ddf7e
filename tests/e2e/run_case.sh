#!/usr/bin/env bash
# Runs one scripted session of the real program and compares everything it
# leaves behind with the case's expectations.
#
# A case is a folder:
#   stdin    what is typed (piped to the program)
#   stdout   the whole expected output
#   env      optional lines NAME=VALUE added to a clean environment
#            (USERNAME=ana, HOME and a fixed PATH are set already)
#   before/  optional files put in the working directory first
#   after/   the files the working directory must hold at the end, byte for
#            byte; without it the directory must stay as `before/` left it
#   status   optional expected exit status (default 0)
#   faketime optional clock for faketime -f, so a note can come due
# Timestamps (DD/MM/YY HH:MM:SS) are masked in the output and in the files.
set -u
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
work=$tmp/work
mkdir -p "$work" "$tmp/home"
[ -d "$case_dir/before" ] && cp -R "$case_dir/before/." "$work/"

env_args=(USERNAME=ana HOME="$tmp/home" PATH=/usr/local/bin:/usr/bin:/bin LANG=C TZ=UTC)
if [ -f "$case_dir/env" ]; then
    while IFS= read -r line || [ -n "$line" ]; do
        [ -n "$line" ] && env_args+=("${line//@HOME@/$tmp/home}")
    done < "$case_dir/env"
fi
[ -n "${ASAN_OPTIONS:-}" ] && env_args+=("ASAN_OPTIONS=$ASAN_OPTIONS")
[ -n "${UBSAN_OPTIONS:-}" ] && env_args+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")

run=("$bin")
if [ -f "$case_dir/faketime" ]; then
    if grep -qa __asan_init "$bin"; then
        echo "skipped: faketime's preloaded library cannot run under AddressSanitizer"
        exit 0
    fi
    command -v faketime > /dev/null || { echo "faketime is not installed"; exit 1; }
    run=(faketime -f "$(cat "$case_dir/faketime")" "$bin")
fi
(cd "$work" && timeout 20 env -i "${env_args[@]}" "${run[@]}" < "$case_dir/stdin" > "$tmp/out" 2> "$tmp/err")
status=$?

mask() { sed -E 's#[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}#DD/MM/YY HH:MM:SS#g' "$1"; }

fail=0
want_status=0
[ -f "$case_dir/status" ] && want_status=$(cat "$case_dir/status")
if [ "$status" != "$want_status" ]; then
    echo "exit status $status, expected $want_status"; fail=1
fi
if [ -s "$tmp/err" ]; then
    echo "unexpected standard error:"; head -c 2000 "$tmp/err"; fail=1
fi
if ! cmp -s <(mask "$tmp/out") "$case_dir/stdout"; then
    echo "output differs from $case_dir/stdout:"
    diff <(mask "$tmp/out" | cat -A) <(cat -A "$case_dir/stdout") | head -40; fail=1
fi

expected_files=$case_dir/after
[ -d "$expected_files" ] || expected_files=$case_dir/before
if [ -d "$expected_files" ]; then
    want=$(cd "$expected_files" && find . -type f | sort)
else
    want=""
fi
have=$(cd "$work" && find . -type f | sort)
if [ "$want" != "$have" ]; then
    echo "files in the working directory differ:"; diff <(echo "$want") <(echo "$have"); fail=1
fi
for f in $want; do
    if [ -f "$work/$f" ] && ! cmp -s <(mask "$work/$f") "$expected_files/$f"; then
        echo "file $f differs:"; diff <(mask "$work/$f" | cat -A) <(cat -A "$expected_files/$f") | head -20; fail=1
    fi
done
exit $fail
