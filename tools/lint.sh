#!/usr/bin/env bash
# Kelvra's static analysis (`make lint`): clang-tidy with the committed
# .clang-tidy over the program's sources and the fuzz targets, cppcheck over
# the same, and a clang-format check of every tracked .cpp and .h file.
# Any finding fails; a finding that must stay is suppressed at its line with
# a NOLINT or cppcheck-suppress comment saying why.
#
# The Windows console layer is checked by clang-tidy too, against the
# MinGW-w64 headers, when they are installed.
#
# Settings (environment): LINT_BUILD (where the compile commands are made,
# default build-lint).
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${LINT_BUILD:-$root/build-lint}
cd "$root"

tidy=$(command -v clang-tidy-14 || command -v clang-tidy || true)
format=$(command -v clang-format-14 || command -v clang-format || true)
missing=()
[ -n "$tidy" ] || missing+=(clang-tidy)
[ -n "$format" ] || missing+=(clang-format)
command -v cppcheck > /dev/null || missing+=(cppcheck)
command -v cmake > /dev/null || missing+=(cmake)
if [ ${#missing[@]} -gt 0 ]; then
    echo "lint: missing ${missing[*]} (Debian: clang-tidy, clang-format, cppcheck, cmake)" >&2
    exit 1
fi

failures=0
section() { echo "== $*"; }
report() {  # report TOOL COUNT
    if [ "$2" = 0 ]; then
        echo "   $1: no findings"
    else
        echo "   $1: $2 findings"
        failures=$((failures + $2))
    fi
}

# The compile commands of this system's build; nothing needs to be built.
cmake -S "$root" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVRA_TESTS=ON \
    -DCMAKE_BUILD_TYPE=Debug > "$build.configure.log" 2>&1 || {
    cat "$build.configure.log"
    echo "lint: cmake could not configure $build" >&2
    exit 1
}
rm -f "$build.configure.log"

# The program's sources and the fuzz targets, as the build compiles them.
sources=$(sed -n 's#^ *"file": "'"$root"'/\(\(src\|fuzz\)/[^"]*\)",*$#\1#p' \
    "$build/compile_commands.json" | sort -u)
[ -n "$sources" ] || { echo "lint: no sources in $build/compile_commands.json" >&2; exit 1; }

section "clang-tidy ($("$tidy" --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -1))"
out=$build/clang-tidy.txt
# tidy_one N FILE [-- FLAGS]: one file's findings in $out.N, run beside
# another (clang-tidy takes one core); a run that fails without printing a
# finding (a file it could not compile, a crash) counts as one.
tidy_one() {
    local part=$out.$1
    shift
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n; done
    { "$tidy" --quiet "$@" > "$part" 2> "$part.err" || grep -qE "$finding" "$part" ||
        echo "$1:0:0: error: clang-tidy failed: $(head -c 300 "$part.err")" >> "$part"; } &
}
finding='^[^ ].*:[0-9]+:[0-9]+: (error|warning):'
rm -f "$out".*
n=0
for f in $sources; do
    tidy_one $((n += 1)) "$f" -p "$build"
done
if [ -f src/console/console_windows.cpp ]; then
    mingw=(--target=x86_64-w64-mingw32 -std=c++20 -I"$root/src")
    if echo '#include <windows.h>' | clang++-14 "${mingw[@]}" -fsyntax-only -x c++ - 2> /dev/null; then
        tidy_one $((n += 1)) src/console/console_windows.cpp -- "${mingw[@]}"
    else
        echo "   console_windows.cpp not checked: no MinGW-w64 headers (Debian: mingw-w64)"
    fi
fi
wait
cat $(ls "$out".* | grep -v '\.err$') > "$out"
count=$(grep -cE "$finding" "$out")
grep -E -A3 "$finding" "$out" | sed "s#$root/##"
report clang-tidy "$count"

section "cppcheck ($(cppcheck --version | sed 's/Cppcheck //'))"
out=$build/cppcheck.txt
cppcheck --quiet --std=c++20 --language=c++ --enable=warning,style,performance,portability \
    --inline-suppr --suppress=missingIncludeSystem -I src \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' src fuzz 2> "$out"
count=$(grep -cE '^[^ ].*:[0-9]+:[0-9]+: ' "$out")
cat "$out"
report cppcheck "$count"

section "clang-format ($("$format" --version | sed -n 's/.*version \([0-9.]*\).*/\1/p' | head -1))"
if git -C "$root" rev-parse --is-inside-work-tree > /dev/null 2>&1; then
    files=$(git -C "$root" ls-files '*.cpp' '*.h')
else
    files=$(find src tests fuzz -name '*.cpp' -o -name '*.h' | sort)
fi
count=0
for f in $files; do
    [ -f "$f" ] || continue
    if ! "$format" --dry-run --Werror "$f" > /dev/null 2>&1; then
        echo "   not formatted: $f (clang-format -i $f)"
        count=$((count + 1))
    fi
done
report clang-format "$count"

if [ $failures -gt 0 ]; then
    echo "lint: $failures findings"
    exit 1
fi
echo "lint: clean"
