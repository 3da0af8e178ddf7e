#!/usr/bin/env bash
# Kelvra's benchmarks (`make bench`): builds the Release binary with the same
# flags as `make`, and bench/measure.c measures it and prints one table: each
# figure, how it was measured, its target and whether it is met.
#
# Timings are figures, not tests: the script ends with status 0 even when a
# target is missed (the table then says MISSED, and shows where callgrind
# finds the instructions going). It fails only when it cannot build or run.
#
# Settings (environment): BENCH_BUILD (build directory, default build-bench),
# JOBS (default 2), BENCH_WATCH_SECONDS (notification watch, default 30),
# BENCH_DETAILS=1 (show the callgrind breakdowns even when targets are met).
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
jobs=${JOBS:-2}

die() {
    echo "bench: $*" >&2
    exit 1
}

for tool in cmake cc valgrind callgrind_annotate readelf; do
    command -v "$tool" > /dev/null || die "$tool is needed and is not installed"
done

echo "Building the Release binary in $build ..."
mkdir -p "$build/bench" || die "cannot create $build"
log=$build/bench-build.log
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVRA_WERROR=ON -DKELVRA_TESTS=OFF \
    > "$log" 2>&1 || die "cmake failed, see $log"
cmake --build "$build" -j "$jobs" --target kelvra >> "$log" 2>&1 || die "the build failed, see $log"
for program in measure menu_min; do
    cc -O2 -Wall -Wextra -Werror -o "$build/bench/$program" "$root/bench/$program.c" ||
        die "cannot build bench/$program.c"
done
true_bin=/bin/true
[ -x "$true_bin" ] || true_bin=/usr/bin/true

# The sessions run in a folder in memory when there is one: on a disk their
# time would measure the disk's write-back rather than the program.
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" = tmpfs ]; then
    scratch=$(mktemp -d -p /dev/shm kelvra-bench.XXXXXX)
else
    scratch=$(mktemp -d)
fi || die "cannot create a scratch folder"
trap 'rm -rf "$scratch" "$build/bench-work"' EXIT

"$build/bench/measure" "$build/kelvra" "$build/bench/menu_min" "$true_bin" "$scratch" \
    "$build/bench-work" || exit 1 # measure has said why
exit 0
