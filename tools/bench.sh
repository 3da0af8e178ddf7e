#!/usr/bin/env bash
# Kelvra's benchmarks (`make bench`): builds the Release binary with the same
# flags as `make` and prints one table of eight figures, each with its value,
# its target, whether it is met and how it was measured. The tools are the
# standard ones: readelf, hyperfine (wall time), valgrind's callgrind
# (instructions) and memcheck (heap), GNU time (memory and processor time).
#
# Timings are figures, not tests: the status is 0 whenever the table is
# printed, even with a target MISSED (the start-up instructions are then
# shown by function). It is 1 only when something cannot be built or run.
#
# Settings (environment): BENCH_BUILD (build directory, default build-bench),
# JOBS (default 2), BENCH_WATCH_SECONDS (notification watch, default 30),
# BENCH_DETAILS=1 (show the instructions by function even when all is met).
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
watch=${BENCH_WATCH_SECONDS:-30}
bin=$build/kelvra
die() { echo "bench: $*" >&2; exit 1; }

for tool in cmake readelf hyperfine valgrind callgrind_annotate /usr/bin/time; do
    command -v "$tool" > /dev/null || die "$tool is not installed: bash tools/install-deps.sh bench"
done
echo "Building the Release binary in $build ..."
log=$build/bench-build.log; mkdir -p "$build" || die "cannot create $build"
{ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVRA_WERROR=ON -DKELVRA_TESTS=OFF &&
    cmake --build "$build" -j "${JOBS:-2}" --target kelvra; } > "$log" 2>&1 || die "the build failed, see $log"

# The sessions run in a folder in memory when there is one: option 5 rewrites
# its report every other cycle, and on a disk the time would be the disk's.
shm=/dev/shm
[ "$(stat -f -c %T $shm 2> /dev/null)" = tmpfs ] && [ -w $shm ] || shm=${TMPDIR:-/tmp}
scratch=$(mktemp -d -p "$shm" kelvra-bench.XXXXXX) || die "cannot create a scratch folder"
trap 'kill "${watch_pid:-}" 2> /dev/null; rm -rf "$scratch"' EXIT
mkdir -p "$scratch"/{home,in,w-start,w-cg,w-long,w-time,w-watch,w-list3,w-list10k,w-mix3,w-mix10k}

# Every program runs in the same small environment: the loader's start-up
# work grows with the environment, and the comparison is of programs.
clean() { env -i USERNAME=ana HOME="$scratch/home" PATH=/usr/bin:/bin LANG=C TZ=UTC "$@"; }

# session CYCLES OPTION...: a full table of ten notes, then CYCLES commands
# taking the options in turn; each command is followed by its key-wait line.
session() {
    local cycles=$1 k
    shift
    for k in $(seq 10); do printf '1\nNota %02d de la prueba\n%02d:%02d\nDescripcion de la nota numero %d\n\n' \
        "$k" $((8 + k)) $((k * 5)) "$k"; done
    for ((k = 0; k < cycles; k++)); do printf '%s\n\n' "${@:k % $# + 1:1}"; done
}
session 10000 3 5 > "$scratch/in/long"
session 10 3 > "$scratch/in/list3"
session 10000 3 > "$scratch/in/list10k"
session 10 3 5 7 > "$scratch/in/mix3"
session 10000 3 5 7 > "$scratch/in/mix10k"
last_note="Nota 10 de la prueba"

# The notification watch sleeps while the rest is measured: option 2 on an
# empty table, its input a pipe held open for $watch seconds, then ended.
(cd "$scratch/w-watch" && { printf '2\n'; sleep "$watch"; } |
    clean /usr/bin/time -f '%U %S' -o ../watch.time "$bin" > ../watch.out) &
watch_pid=$!

rows=()
line() { printf '%-37s %-16s %-10s %-7s %s\n' "$@"; }
row() { rows+=("$(line "$@")"); }
# verdict CONDITION: "met" or "MISSED", the condition written for awk.
verdict() { awk "BEGIN { exit !($1) }" && echo met || echo MISSED; }
ms() { awk -v s="$1" 'BEGIN { printf "%.3f ms", s * 1000 }'; }

needed=$(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | paste -sd' ')
row "shared libraries loaded" "${needed:-none}" "libc.so.6" \
    "$([ "$needed" = libc.so.6 ] && echo met || echo MISSED)" "readelf -d: NEEDED entries of the binary"

echo "Timing start-up (hyperfine, 50 runs of each) ..."
(cd "$scratch/w-start" && clean hyperfine -N -w 5 -r 50 --style none --export-csv ../start.csv \
    "$bin" /bin/true > /dev/null) || die "hyperfine could not time $bin and /bin/true with empty input"
read -r t_kelvra t_true < <(awk -F, 'NR > 1 { printf "%s ", $4 }' "$scratch/start.csv")
ratio=$(awk -v a="$t_kelvra" -v b="$t_true" 'BEGIN { printf "%.2f", a / b }')
row "start-up ratio kelvra : /bin/true" "${ratio}x" "<= 2.00x" "$(verdict "$ratio <= 2.00")" \
    "hyperfine -N, medians of 50, stdin empty: $(ms "$t_kelvra") / $(ms "$t_true")"

echo "Counting instructions (callgrind) ..."
clean "$bin" < /dev/null > "$scratch/menu.txt" || die "$bin did not end with status 0 on empty input"
instructions() { # NAME PROGRAM...: callgrind's count for the whole process, empty input
    (cd "$scratch/w-cg" && clean valgrind --tool=callgrind --callgrind-out-file="../$1.cg" \
        --log-file="../$1.cglog" "${@:2}" < /dev/null > /dev/null)
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$scratch/$1.cglog" | grep . || die "callgrind gave no count for $2"
}
i_kelvra=$(instructions kelvra "$bin") || exit 1
i_cat=$(instructions cat /bin/cat "$scratch/menu.txt") || exit 1
ratio=$(awk -v a="$i_kelvra" -v b="$i_cat" 'BEGIN { printf "%.2f", a / b }')
row "instructions ratio kelvra : cat" "${ratio}x" "<= 1.30x" "$(verdict "$ratio <= 1.30")" \
    "callgrind, empty input: $i_kelvra / $i_cat of /bin/cat printing the same menu text from a file"

echo "Timing 10,000 menu cycles (hyperfine, 5 runs) ..."
(cd "$scratch/w-time" && clean /usr/bin/time -f '%M' -o ../long.time "$bin" < ../in/long > ../long.out) ||
    die "the 10,000-cycle session did not end with status 0"
listed=$(grep -c "$last_note" "$scratch/long.out")
grep -q "$last_note" "$scratch/w-time/MiListaNotas.txt" 2> /dev/null || listed=0
(cd "$scratch/w-long" && clean hyperfine -w 1 -r 5 --style none --export-csv ../long.csv \
    "$bin < ../in/long" > /dev/null) || die "hyperfine could not time the 10,000-cycle session"
t_long=$(awk -F, 'NR == 2 { print $4 }' "$scratch/long.csv")
rss=$(cat "$scratch/long.time")
if [ "$listed" -ge 5000 ]; then
    row "10,000 cycles, total time" "$(ms "$t_long")" "< 1000 ms" "$(verdict "$t_long < 1")" \
        "hyperfine, median of 5: options 3,5 alternating, 10 notes, stdout /dev/null, cwd $(stat -f -c %T "$scratch")"
    row "peak resident memory of that session" "$rss KiB" "< 4096 KiB" "$(verdict "$rss < 4096")" \
        "GNU time %M (maximum resident set size)"
else
    row "10,000 cycles, total time" "$(ms "$t_long")" "< 1000 ms" "n/a" "the session listed its notes $listed times, or exported none"
    row "peak resident memory of that session" "$rss KiB" "< 4096 KiB" "n/a" "the same"
fi

echo "Counting heap use (memcheck) ..."
heap() { # NAME FIGURE: the number after FIGURE in memcheck's summary of the session NAME
    (cd "$scratch/w-$1" && clean valgrind --log-file="../$1.mclog" "$bin" < "../in/$1" > /dev/null)
    sed -n "s/.*$2: \([0-9,]*\) .*/\1/p" "$scratch/$1.mclog" | tr -d , | grep . ||
        die "memcheck gave no heap summary for the session $1"
}
a_short=$(heap list3 'total heap usage') && a_long=$(heap list10k 'total heap usage') || exit 1
row "heap allocations, option 3" "$a_short / $a_long" "equal" "$(verdict "$a_short == $a_long")" \
    "memcheck 'total heap usage', option 3 x10 and x10,000, 10 notes"
u_short=$(heap mix3 'in use at exit') && u_long=$(heap mix10k 'in use at exit') || exit 1
result=n/a
grep -qs "$last_note" "$scratch/w-mix10k/NotasGuardadas.txt" && result=$(verdict "$u_short == $u_long")
row "bytes in use at exit, options 3,5,7" "$u_short / $u_long" "equal" "$result" \
    "memcheck 'in use at exit', options 3,5,7 x10 and x10,000 (n/a: no save written)"

echo "Waiting for the notification watch to reach $watch s ..."
wait "$watch_pid" || die "the notification watch did not end with status 0"
watch_pid=
cpu=$(awk '{ printf "%d", ($1 + $2) * 1000 }' "$scratch/watch.time")
looks=$(grep -c '^la hora es: [0-9][0-9]:[0-9][0-9]$' "$scratch/watch.out")
row "CPU, $watch s of notification mode" "$cpu ms" "< 10 ms" \
    "$([ "$looks" -ge 1 ] && verdict "$cpu < 10" || echo n/a)" \
    "GNU time user+system (10 ms steps), option 2 on an empty table, input held open; $looks clock lines"

printf '\nKelvra benchmarks: %s (Release), %s cores, %s\n\n' "$bin" "$(nproc)" "$(date -u '+%Y-%m-%d %H:%M UTC')"
line Figure Value Target Result "How measured"
printf '%.0s-' {1..150}
printf '\n%s' "${rows[@]}"
printf '\n\nTargets met: %s of 8.\n' "$(printf '%s\n' "${rows[@]}" | grep -c ' met ')"
if printf '%s\n' "${rows[@]}" | grep -q ' MISSED ' || [ "${BENCH_DETAILS:-0}" = 1 ]; then
    printf '\nStart-up instructions by function (callgrind, own counts):\n'
    callgrind_annotate --inclusive=no "$scratch/kelvra.cg" | sed -n '/file:function/,$p' | sed -n '3,14p'
fi
exit 0
