#!/usr/bin/env bash
# Kelvra's fuzzing (`make fuzz`): builds the libFuzzer target with
# clang++-14 and the address and undefined-behaviour sanitizers, then runs it
# for a bounded time starting from its committed seed corpus. Each input is
# typed at the menu, through every command, and read as a saved-notes file.
# The seeds and the regression inputs are replayed by every `make test`.
#
# Settings (environment): FUZZ_SECONDS (default 60), FUZZ_BUILD (default
# build-fuzz), CXX_FUZZ (default clang++-14).
#
# Exits non-zero when the target does not build, or the fuzzer finds a
# crash, a leak, a hang or a failed check. A crashing input is left in
# $FUZZ_BUILD/artifacts/; copy it into fuzz/regressions/ once it is fixed.
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=kelvra
cxx=${CXX_FUZZ:-clang++-14}

if ! command -v "$cxx" > /dev/null; then
    echo "fuzz: $cxx not found (Debian: clang-14 and libclang-rt-14-dev)" >&2
    exit 1
fi

# The targets and the program's sources come from the same CMake project
# as every other build, with clang and the fuzzer's instrumentation.
CXX=$cxx cmake -S "$root" -B "$build" -DKELVRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
rm -f "$build.configure.log"
build=$(cd "$build" && pwd)

status=0
summary=()
for name in $targets; do
    echo "== fuzz $name: building"
    if ! cmake --build "$build" -j 2 --target "${name}_fuzz" > "$build/$name-build.log" 2>&1; then
        cat "$build/$name-build.log"
        echo "fuzz $name: build failed" >&2
        exit 1
    fi
    bin=$build/fuzz/${name}_fuzz
    corpus=$build/corpus-$name
    artifacts=$build/artifacts
    # The dialog's commands create, sync and remove files on every input:
    # in memory that costs nothing, on a disk it would be most of the time.
    scratch_base=$build
    [ -d /dev/shm ] && [ -w /dev/shm ] && scratch_base=/dev/shm
    scratch=$(mktemp -d "$scratch_base/kelvra-fuzz-$name.XXXXXX")
    mkdir -p "$corpus" "$artifacts"
    dict=()
    dict=(-dict="$root/fuzz/kelvra.dict")
    common=(-timeout=10 -rss_limit_mb=2048 -max_len=16384 "${dict[@]}")

    # The working corpus starts from the committed seeds and keeps what the
    # fuzzer finds; the committed seeds themselves are never changed.
    echo "== fuzz $name: running for $seconds s"
    log=$build/$name.log
    TMPDIR=$scratch "$bin" "${common[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" "$root/fuzz/corpus" > "$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    line=$(grep -E '^#[0-9]+' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<< "$line")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<< "$line")
    counters=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
    if [ $rc -ne 0 ]; then
        tail -60 "$log"
        echo "fuzz $name: failed (status $rc); inputs in $artifacts" >&2
        status=1
        summary+=("$name: FAILED after ${runs:-?} runs")
    else
        summary+=("$name: ${runs:-?} runs, ${speed:-?} exec/s, cov ${cov:-?} of ${counters:-?} edges, ft ${ft:-?} features, corpus $(ls "$corpus" | wc -l) inputs")
    fi
    rm -rf "$scratch"
done

echo "== fuzz summary (${seconds} s per target)"
for s in "${summary[@]}"; do echo "  $s"; done
exit $status
