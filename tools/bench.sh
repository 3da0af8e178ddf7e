#!/usr/bin/env bash
# Kelvra's benchmarks (`make bench`): builds the Release binary with the same
# flags as `make`, measures it and prints one table: each figure, how it was
# measured, its target and whether it is met.
#
# Timings are figures, not tests: the script ends with status 0 even when a
# target is missed (it then says MISSED, and shows where callgrind finds the
# instructions going). It fails only when it cannot build or run at all.
#
# Settings (environment): BENCH_BUILD (build directory, default build-bench),
# JOBS (default 2), BENCH_WATCH_SECONDS (notification watch, default 30),
# BENCH_DETAILS=1 (show the callgrind breakdowns even when targets are met).
set -u -o pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
jobs=${JOBS:-2}
watch_seconds=${BENCH_WATCH_SECONDS:-30}
details=${BENCH_DETAILS:-0}

startup_runs=50
session_runs=5
cycles=10000
short_cycles=10

die() {
    echo "bench: $*" >&2
    exit 1
}

for tool in cmake cc valgrind callgrind_annotate readelf; do
    command -v "$tool" > /dev/null || die "$tool is needed and is not installed"
done

# --- Build ----------------------------------------------------------------

echo "Building the Release binary in $build ..."
mkdir -p "$build" || die "cannot create $build"
log=$build/bench-build.log
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKELVRA_WERROR=ON -DKELVRA_TESTS=OFF \
    > "$log" 2>&1 || die "cmake failed, see $log"
cmake --build "$build" -j "$jobs" --target kelvra >> "$log" 2>&1 || die "the build failed, see $log"
kelvra=$build/kelvra
tools=$build/bench
mkdir -p "$tools"
cc -O2 -Wall -Wextra -Werror -o "$tools/measure" "$root/bench/measure.c" ||
    die "cannot build bench/measure.c"
cc -O2 -Wall -Wextra -Werror -o "$tools/menu_min" "$root/bench/menu_min.c" ||
    die "cannot build bench/menu_min.c"
measure=$tools/measure
menu_min=$tools/menu_min
true_bin=/bin/true
[ -x "$true_bin" ] || true_bin=/usr/bin/true

# The sessions run in a working directory in memory when there is one:
# option 5 rewrites "MiListaNotas.txt" every other cycle, and on a disk the
# time then measures the disk's write-back rather than the program. The
# same session is timed once more on the build's own file system below.
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" = tmpfs ]; then
    tmp=$(mktemp -d -p /dev/shm kelvra-bench.XXXXXX)
else
    tmp=$(mktemp -d)
fi
work_fs=$(df --output=fstype "$tmp" | tail -n 1)
disk_fs=$(df --output=fstype "$build" | tail -n 1)
watch_pid=
reader_pid=
cleanup() {
    [ -n "$reader_pid" ] && kill "$reader_pid" 2> /dev/null
    [ -n "$watch_pid" ] && kill "$watch_pid" 2> /dev/null
    rm -rf "$tmp" "$build/bench-work"
}
trap cleanup EXIT
mkdir -p "$tmp/home" "$tmp/in"

# Every program runs in the same small environment: the dynamic loader's
# start-up work grows with the size of the environment, so measuring in the
# caller's would compare environments, not programs.
clean_env=(env -i USERNAME=ana HOME="$tmp/home" PATH=/usr/bin:/bin LANG=C TZ=UTC)

# A fresh, empty working directory for one session.
workdir() {
    local dir=$tmp/work-$1
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "$dir"
}

# --- Scripted sessions ------------------------------------------------------
# With standard input from a file each key-wait takes one line, so every
# command is followed by an empty line.

fill_table() {
    local k
    for k in 1 2 3 4 5 6 7 8 9 10; do
        printf '1\nNota %02d de la prueba\n%02d:%02d\nDescripcion de la nota numero %d\n\n' \
            "$k" $((8 + k)) $((k * 5)) "$k"
    done
}

# A full table, then `count` cycles taking the options in `rotation` in turn.
session() {
    local count=$1 rotation=$2 k
    fill_table
    for ((k = 0; k < count; k++)); do
        printf '%s\n\n' "${rotation:k%${#rotation}:1}"
    done
}

session "$cycles" 35 > "$tmp/in/list_export_long"
session "$short_cycles" 3 > "$tmp/in/list_short"
session "$cycles" 3 > "$tmp/in/list_long"
session "$short_cycles" 357 > "$tmp/in/mix_short"
session "$cycles" 357 > "$tmp/in/mix_long"
: > "$tmp/in/empty"

# --- The table ----------------------------------------------------------------

rows=()
met=0
missed=()
unmeasured=()

# row FIGURE VALUE TARGET RESULT HOW
row() {
    rows+=("$(printf '%-38s %-22s %-13s %-7s %s' "$1" "$2" "$3" "$4" "$5")")
    case $4 in
        met) met=$((met + 1)) ;;
        MISSED) missed+=("$1") ;;
        n/a) unmeasured+=("$1") ;;
    esac
}

# verdict OK: "met" when the shell test in $1 holds, else "MISSED".
verdict() { if eval "$1"; then echo met; else echo MISSED; fi; }

ms() { awk -v us="$1" 'BEGIN { printf "%.3f ms", us / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
le() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
thousands() { echo "$1" | sed -e ':a' -e 's/\B[0-9]\{3\}\>/,&/' -e 'ta'; }

# --- Notification mode: started first, it sleeps while the rest is measured --
# Option 2 on an empty table watches the clock until the process is ended. A
# reader reads the process's CPU time after exactly $watch_seconds s and then
# ends it with SIGTERM; a process that ended by itself is left as it is.

# The watch reads option 2 from a FIFO this script holds open: at the end
# of its input the mode would end at once.
watch_dir=$(workdir watch)
mkfifo "$tmp/watch.fifo"
(cd "$watch_dir" && exec "${clean_env[@]}" "$kelvra" < "$tmp/watch.fifo" > "$tmp/watch.out" 2>&1) &
watch_pid=$!
exec 5> "$tmp/watch.fifo"
printf '2\n' >&5
(
    sleep "$watch_seconds"
    # Fields 3, 14 and 15 of /proc/PID/stat: state, user and system time in
    # clock ticks. A zombie has ended already.
    read -r state utime stime < <(sed 's/^.*) //' "/proc/$watch_pid/stat" 2> /dev/null |
        awk '{ print $1, $12, $13 }')
    if [ "${state:-Z}" != Z ] && [ "$(cat "/proc/$watch_pid/comm")" = kelvra ]; then
        us=$("$measure" cpu "$watch_pid")
        kill -TERM "$watch_pid"
        echo "$((utime + stime)) $us" > "$tmp/watch.cpu"
    fi
) &
reader_pid=$!

# --- Shared libraries -------------------------------------------------------

needed=$(readelf -d "$kelvra" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ' | sed 's/ $//')
row "shared libraries loaded" "${needed:-none}" "libc.so.6" \
    "$(verdict '[ "$needed" = libc.so.6 ]')" "readelf -d: NEEDED entries of the binary"

# --- Start-up ---------------------------------------------------------------

echo "Timing start-up ($startup_runs runs of each) ..."
# The three programs take turns, so a change in the machine's load while
# they run falls on all three alike. Each run's wall time goes to a file
# per program; a run that did not end with status 0 makes the figure void.
start_dir=$(workdir start)
cd "$start_dir" || die "cannot enter $start_dir"
for ((k = 0; k <= startup_runs; k++)); do
    for prog in kelvra true menu_min; do
        case $prog in
            kelvra) path=$kelvra ;;
            true) path=$true_bin ;;
            menu_min) path=$menu_min ;;
        esac
        read -r wall _ _ _ status <<< "$("${clean_env[@]}" "$measure" run 1 "$tmp/in/empty" "$path")"
        [ "${status:-1}" = 0 ] || die "$path did not end with status 0 on empty input"
        # The first round only warms the page cache.
        [ "$k" -gt 0 ] && echo "$wall" >> "$tmp/start.$prog"
    done
done
cd "$root" || exit 1
median_of() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2)) }'; }
kelvra_us=$(median_of "$tmp/start.kelvra")
true_us=$(median_of "$tmp/start.true")
min_us=$(median_of "$tmp/start.menu_min")
start_ratio=$(ratio "$kelvra_us" "$true_us")
how_start="median of $startup_runs fork+exec+wait, stdin empty, stdout /dev/null"
row "start-up to orderly end, kelvra" "$(ms "$kelvra_us")" "-" "" "$how_start"
row "start-up, /bin/true" "$(ms "$true_us")" "-" "" "the same way"
row "start-up, minimal C menu program" "$(ms "$min_us")" "-" "" "the same way (bench/menu_min.c, cc -O2)"
row "start-up ratio kelvra : /bin/true" "${start_ratio}x" "<= 2.00x" \
    "$(verdict 'le "$start_ratio" 2.00')" "the two medians above"

# --- Instructions -----------------------------------------------------------

echo "Counting instructions (callgrind) ..."
# Prints the instruction count of one run on empty input; keeps the profile.
instructions() {
    "${clean_env[@]}" valgrind --tool=callgrind --callgrind-out-file="$tmp/$2.cg" \
        --log-file="$tmp/$2.cglog" "$1" < "$tmp/in/empty" > /dev/null 2>&1
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$tmp/$2.cglog"
}
kelvra_ir=$(instructions "$kelvra" kelvra)
min_ir=$(instructions "$menu_min" menu_min)
true_ir=$(instructions "$true_bin" true)
[ -n "$kelvra_ir" ] && [ -n "$min_ir" ] && [ -n "$true_ir" ] || die "callgrind gave no count"
ir_ratio=$(ratio "$kelvra_ir" "$min_ir")
how_ir="valgrind --tool=callgrind, whole process, empty input"
row "instructions, kelvra" "$(thousands "$kelvra_ir")" "-" "" "$how_ir"
row "instructions, minimal C menu program" "$(thousands "$min_ir")" "-" "" "the same way"
row "instructions, /bin/true" "$(thousands "$true_ir")" "-" "" "the same way"
row "instructions ratio kelvra : minimal C" "${ir_ratio}x" "<= 1.30x" \
    "$(verdict 'le "$ir_ratio" 1.30')" "the counts above"
ir_missed=0
le "$ir_ratio" 1.30 || ir_missed=1

# --- The long session -------------------------------------------------------

# What a session left behind shows whether the listing commands ran: the
# screen list names the last note once per option 3, and option 5 leaves
# "MiListaNotas.txt" with it.
listing_works=1
listing_note=""
check_dir=$(workdir check)
(cd "$check_dir" && "${clean_env[@]}" "$kelvra" < "$tmp/in/list_export_long" > "$tmp/check.out" 2>&1)
shown=$(grep -c 'Nota 10 de la prueba' "$tmp/check.out")
if [ "$shown" -lt $((cycles / 2)) ]; then
    listing_works=0
    listing_note="option 3 showed the list $shown times of $((cycles / 2))"
elif ! grep -q 'Nota 10 de la prueba' "$check_dir/MiListaNotas.txt" 2> /dev/null; then
    listing_works=0
    listing_note="option 5 wrote no MiListaNotas.txt with the notes"
fi

echo "Timing $cycles menu cycles ($session_runs runs) ..."
# Prints measure's figures for the long session run $2 times in the directory $1.
long_session() {
    (cd "$1" && "${clean_env[@]}" "$measure" run "$2" "$tmp/in/list_export_long" "$kelvra")
}
read -r long_us _ long_cpu long_rss long_status <<< "$(long_session "$(workdir long)" "$session_runs")"
long_us=${long_us:-0} long_cpu=${long_cpu:-0} long_rss=${long_rss:-0} long_status=${long_status:-?}
per_second=$(awk -v n="$cycles" -v us="$long_us" 'BEGIN { printf "%d", (us > 0 ? n * 1e6 / us : 0) }')
how_long="options 3,5 alternating, 10 notes, stdout /dev/null, cwd on $work_fs; median of $session_runs"
long_name="$(thousands "$cycles") cycles, total time"
if [ "$long_status" != 0 ]; then
    row "$long_name" "status $long_status" "< 1000 ms" "n/a" "the session did not end with status 0"
elif [ "$listing_works" = 0 ]; then
    row "$long_name" "$(ms "$long_us")" "< 1000 ms" "n/a" "not measured: $listing_note"
else
    row "$long_name" "$(ms "$long_us")" "< 1000 ms" \
        "$(verdict '[ "$long_us" -lt 1000000 ]')" "$how_long"
fi
row "$(thousands "$cycles") cycles, cycles per second" "$(thousands "$per_second")/s" "-" "" "from the time above"
row "$(thousands "$cycles") cycles, CPU time" "$(ms "$long_cpu")" "-" "" "wait4: user + system time, median"
if [ "$listing_works" = 0 ]; then
    row "peak resident memory of that session" "$long_rss KiB" "< 4096 KiB" "n/a" "not measured: $listing_note"
else
    row "peak resident memory of that session" "$long_rss KiB" "< 4096 KiB" \
        "$(verdict '[ "$long_rss" -lt 4096 ]')" "wait4: ru_maxrss, largest of the runs"
fi
if [ "$disk_fs" != "$work_fs" ]; then
    mkdir -p "$build/bench-work"
    read -r disk_us _ disk_cpu _ _ <<< "$(long_session "$build/bench-work" 1)"
    rm -rf "$build/bench-work"
    row "the same, cwd on the build's disk" "$(ms "${disk_us:-0}")" "-" "" \
        "one run, cwd on $disk_fs; CPU $(ms "${disk_cpu:-0}"), the rest waits for the disk"
fi
session_missed=0
[ "$listing_works" = 1 ] && [ "$long_us" -ge 1000000 ] && session_missed=1

# --- Heap -------------------------------------------------------------------

echo "Counting heap use (memcheck) ..."
# Prints "allocs bytes_in_use_at_exit" of one session under memcheck.
heap() {
    local dir
    dir=$(workdir "heap-$1")
    (cd "$dir" && "${clean_env[@]}" valgrind --tool=memcheck --log-file="$tmp/$1.mclog" \
        "$kelvra" < "$tmp/in/$1" > /dev/null 2>&1)
    local allocs in_use
    allocs=$(sed -n 's/.*total heap usage: \([0-9,]*\) allocs.*/\1/p' "$tmp/$1.mclog" | tr -d ,)
    in_use=$(sed -n 's/.*in use at exit: \([0-9,]*\) bytes.*/\1/p' "$tmp/$1.mclog" | tr -d ,)
    echo "${allocs:-?} ${in_use:-?}"
}
read -r short_allocs _ <<< "$(heap list_short)"
read -r long_allocs _ <<< "$(heap list_long)"
read -r mix_short_allocs mix_short_use <<< "$(heap mix_short)"
read -r mix_long_allocs mix_long_use <<< "$(heap mix_long)"
saved_ok=0
grep -q 'Nota 10 de la prueba' "$tmp/work-heap-mix_long/NotasGuardadas.txt" 2> /dev/null && saved_ok=1

how_allocs="memcheck heap summary, option 3 x$short_cycles and x$cycles, 10 notes"
if [ "$listing_works" = 0 ]; then
    row "heap allocations, option 3" "$short_allocs / $long_allocs" "equal" "n/a" "not measured: $listing_note"
else
    row "heap allocations, option 3" "$short_allocs / $long_allocs" "equal" \
        "$(verdict '[ "$short_allocs" = "$long_allocs" ]')" "$how_allocs"
fi
row "heap allocations, options 3,5,7" "$mix_short_allocs / $mix_long_allocs" "-" "" \
    "the C library's FILE and buffer at each fopen"
how_in_use="memcheck 'in use at exit', options 3,5,7 x$short_cycles and x$cycles"
if [ "$listing_works" = 0 ] || [ "$saved_ok" = 0 ]; then
    why=${listing_note:-option 7 wrote no NotasGuardadas.txt}
    row "bytes in use at exit, options 3,5,7" "$mix_short_use / $mix_long_use" "equal" "n/a" "not measured: $why"
else
    row "bytes in use at exit, options 3,5,7" "$mix_short_use / $mix_long_use" "equal" \
        "$(verdict '[ "$mix_short_use" = "$mix_long_use" ]')" "$how_in_use"
fi

# --- Notification mode, read after its 30 seconds ---------------------------

echo "Waiting for the notification watch to reach ${watch_seconds} s ..."
wait "$reader_pid"
reader_pid=
wait "$watch_pid" 2> /dev/null
watch_status=$?
watch_pid=
watch_name="CPU, ${watch_seconds} s of notification mode"
if [ -s "$tmp/watch.cpu" ]; then
    read -r ticks watch_us < "$tmp/watch.cpu"
    tick_ms=$((ticks * 1000 / $(getconf CLK_TCK)))
    clock_lines=$(grep -c '^la hora es: [0-9][0-9]:[0-9][0-9]$' "$tmp/watch.out")
    how_watch="CPU-time clock at ${watch_seconds} s, then SIGTERM (/proc stat: $tick_ms ms); $clock_lines clock lines"
    if [ "$clock_lines" -lt 1 ]; then
        row "$watch_name" "$(ms "$watch_us")" "< 10 ms" "n/a" "not measured: option 2 printed no clock line"
    else
        row "$watch_name" "$(ms "$watch_us")" "< 10 ms" \
            "$(verdict '[ "$watch_us" -lt 10000 ]')" "$how_watch"
    fi
else
    row "$watch_name" "-" "< 10 ms" "n/a" \
        "not measured: option 2 on an empty table ended by itself (status $watch_status)"
fi

# --- Report -----------------------------------------------------------------

echo
echo "Kelvra benchmarks: $kelvra (Release), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
printf '%-38s %-22s %-13s %-7s %s\n' "Figure" "Value" "Target" "Result" "How measured"
printf '%s\n' "$(printf '%*s' 150 '' | tr ' ' -)"
printf '%s\n' "${rows[@]}"
echo
total=$((met + ${#missed[@]} + ${#unmeasured[@]}))
echo "Targets met: $met of $total."
for name in "${missed[@]}"; do echo "MISSED: $name"; done
for name in "${unmeasured[@]}"; do echo "NOT MEASURED: $name"; done

# Where the instructions go, for the lead to judge a missed target: the
# functions with the largest own counts, and the object each lives in.
top_functions() {
    callgrind_annotate --inclusive=no "$1" 2> /dev/null |
        awk '/file:function/ { on = 1; next } on && NF && !/^-/ { print "  " $0; if (++n == 12) exit }'
}
if [ "$ir_missed" = 1 ] || [ "$details" = 1 ]; then
    echo
    echo "Start-up instructions by function (callgrind, own counts):"
    top_functions "$tmp/kelvra.cg"
fi
if [ "$session_missed" = 1 ] || [ "$details" = 1 ]; then
    echo
    echo "A 1,000-cycle session of options 3 and 5 by function (callgrind, own counts):"
    session 1000 35 > "$tmp/in/profile"
    profile_dir=$(workdir profile)
    (cd "$profile_dir" && "${clean_env[@]}" valgrind --tool=callgrind \
        --callgrind-out-file="$tmp/session.cg" --log-file=/dev/null \
        "$kelvra" < "$tmp/in/profile" > /dev/null 2>&1)
    top_functions "$tmp/session.cg"
fi
exit 0
