/* Kelvra's benchmarks, measured and reported. tools/bench.sh builds the
 * programs and an empty scratch folder, then runs
 *
 *   measure KELVRA MENU_MIN TRUE SCRATCH DISK_DIR
 *
 * KELVRA is the Release binary, MENU_MIN the minimal C menu program
 * (bench/menu_min.c) and TRUE /bin/true, all absolute paths. SCRATCH holds
 * the scripted session inputs, a working folder per session and valgrind's
 * files; bench.sh puts it in memory when it can. DISK_DIR is a folder on the
 * build's own disk, where one session is timed for information.
 *
 * It prints one table: each figure, its value, its target, whether the
 * target is met and how the figure was measured. A missed target is a
 * result, not an error: the status is 0 whenever the table is printed. It
 * is 1 when something could not be measured at all: a program that does not
 * end with status 0 on empty input, valgrind giving no figures.
 *
 * Settings (environment): BENCH_WATCH_SECONDS (how long the notification
 * mode is watched, default 30), BENCH_DETAILS=1 (show the callgrind
 * breakdowns even when the targets are met). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <mntent.h>
#include <sched.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum {
    STARTUP_RUNS = 50,
    SESSION_RUNS = 5,
    CYCLES = 10000,
    SHORT_CYCLES = 10,
    PROFILE_CYCLES = 1000,
    TOP_FUNCTIONS = 12,
    MAX_ROWS = 32,
};

/* The last note of the scripted table: seeing it proves a listing ran. */
static const char last_note[] = "Nota 10 de la prueba";

static const char* scratch;
static char* clean_env[7];

/* The notification watch runs while everything else is measured; die()
 * must not leave it, or its reader, behind. */
static pid_t watch_pid, reader_pid;

/* --- Small helpers -------------------------------------------------------- */

static void die(const char* format, ...) {
    va_list args;
    if (reader_pid > 0) kill(reader_pid, SIGTERM);
    if (watch_pid > 0) kill(watch_pid, SIGTERM);
    fflush(stdout);
    fputs("bench: ", stderr);
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    exit(1);
}

/* printf into a new string. The program is short-lived: strings live on. */
static char* text(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int size = vsnprintf(NULL, 0, format, args);
    va_end(args);
    char* s = size < 0 ? NULL : malloc((size_t)size + 1);
    if (!s) die("out of memory");
    va_start(args, format);
    vsnprintf(s, (size_t)size + 1, format, args);
    va_end(args);
    return s;
}

static char* in_scratch(const char* name) {
    return text("%s/%s", scratch, name);
}

static void make_folder(const char* path) {
    if (mkdir(path, 0755) != 0 && errno != EEXIST)
        die("cannot create %s: %s", path, strerror(errno));
}

/* The working folder of one session (or of runs that leave nothing), fresh
 * since SCRATCH starts empty. */
static char* workdir(const char* name) {
    char* dir = text("%s/work-%s", scratch, name);
    make_folder(dir);
    return dir;
}

static long long now_us(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

static int by_value(const void* a, const void* b) {
    long long x = *(const long long*)a, y = *(const long long*)b;
    return (x > y) - (x < y);
}

static long long median(long long* v, int n) {
    qsort(v, (size_t)n, sizeof v[0], by_value);
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

static char* ms(long long us) {
    return text("%.3f ms", us / 1000.0);
}

/* 13341 -> "13,341" */
static char* thousands(long long n) {
    char digits[32], out[48];
    int len = snprintf(digits, sizeof digits, "%lld", n < 0 ? -n : n), k = 0;
    if (n < 0) out[k++] = '-';
    for (int i = 0; i < len; i++) {
        if (i > 0 && (len - i) % 3 == 0) out[k++] = ',';
        out[k++] = digits[i];
    }
    out[k] = '\0';
    return text("%s", out);
}

/* a / b in hundredths, rounded: the ratio as shown is the ratio judged. */
static long long hundredths(long long a, long long b) {
    return b > 0 ? (200 * a + b) / (2 * b) : 0;
}

static char* ratio_text(long long h) {
    return text("%lld.%02lldx", h / 100, h % 100);
}

/* --- Files ------------------------------------------------------------------ */

static FILE* open_or_die(const char* path, const char* mode) {
    FILE* f = fopen(path, mode);
    if (!f) die("cannot open %s: %s", path, strerror(errno));
    return f;
}

/* Like grep -c: the lines of the file that contain `what`; 0 without file. */
static long lines_containing(const char* path, const char* what) {
    FILE* f = fopen(path, "r");
    char* line = NULL;
    size_t size = 0;
    long count = 0;
    if (!f) return 0;
    while (getline(&line, &size, f) >= 0)
        if (strstr(line, what)) count++;
    free(line);
    fclose(f);
    return count;
}

/* The number (with or without thousands commas) that follows the first
 * `label` in a valgrind log, or -1 when the log has none. */
static long long number_after(const char* path, const char* label) {
    FILE* f = fopen(path, "r");
    char* line = NULL;
    size_t size = 0;
    long long n = -1;
    while (f && n < 0 && getline(&line, &size, f) >= 0) {
        const char* p = strstr(line, label);
        if (!p) continue;
        for (p += strlen(label); *p == ',' || (*p >= '0' && *p <= '9'); p++)
            if (*p != ',') n = (n < 0 ? 0 : n * 10) + (*p - '0');
    }
    free(line);
    if (f) fclose(f);
    return n;
}

/* --- Scripted sessions ------------------------------------------------------ */
/* With standard input from a file each key-wait takes one line, so every
 * command is followed by an empty line. */

static void fill_table(FILE* f) {
    for (int k = 1; k <= 10; k++)
        fprintf(f, "1\nNota %02d de la prueba\n%02d:%02d\nDescripcion de la nota numero %d\n\n", k,
                8 + k, k * 5, k);
}

/* A full table, then `cycles` commands taking the options in `rotation` in
 * turn; written to SCRATCH/in/NAME, whose path is returned. */
static char* write_session(const char* name, int cycles, const char* rotation) {
    char* path = text("%s/in/%s", scratch, name);
    FILE* f = open_or_die(path, "w");
    size_t period = strlen(rotation);
    fill_table(f);
    for (int k = 0; k < cycles; k++) fprintf(f, "%c\n\n", rotation[(size_t)k % period]);
    if (fclose(f) != 0) die("cannot write %s", path);
    return path;
}

/* --- Running programs ------------------------------------------------------- */

/* Where a child works and where its standard streams come from and go. */
struct streams {
    const char* dir;    /* working folder; NULL keeps measure's */
    const char* input;  /* file for standard input... */
    int input_fd;       /* ...or, when input is NULL, this descriptor */
    const char* output; /* file for standard output */
    const char* errors; /* file for standard error; NULL: with the output */
    char** env;         /* environment; NULL keeps measure's */
};

/* In the child: set up the streams and become the program. The descriptors
 * opened here close at exec; only their copies 0, 1 and 2 stay. */
static void become(char* const argv[], const struct streams* s) {
    extern char** environ;
    int in = s->input ? open(s->input, O_RDONLY | O_CLOEXEC) : s->input_fd;
    int out = open(s->output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = s->errors ? open(s->errors, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : out;
    if (in < 0 || out < 0 || err < 0 || (s->dir && chdir(s->dir) != 0)) _exit(126);
    if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    if (s->env) environ = s->env;
    execvp(argv[0], argv);
    _exit(127);
}

static pid_t start(char* const argv[], const struct streams* s) {
    fflush(stdout); /* or the child's copy of the buffer could be written too */
    pid_t pid = fork();
    if (pid < 0) die("cannot start %s: %s", argv[0], strerror(errno));
    if (pid == 0) become(argv, s);
    return pid;
}

/* The child's exit status, or 128 + the signal that ended it, as a shell
 * tells them; `use` (may be NULL) gets its resource usage. */
static int wait_for(pid_t pid, struct rusage* use) {
    int status;
    while (wait4(pid, &status, 0, use) < 0)
        if (errno != EINTR) die("cannot wait for process %d: %s", (int)pid, strerror(errno));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

static int run(char* const argv[], const struct streams* s) {
    return wait_for(start(argv, s), NULL);
}

struct timing {
    long long wall_us, cpu_us;
    long rss_kib;
    int status;
};

/* One run. Wall time is taken around fork, exec and wait with the
 * monotonic clock; CPU time (user + system) and peak resident memory come
 * from wait4's resource usage of the child alone. */
static struct timing timed_run(char* const argv[], const struct streams* s) {
    struct timing t;
    struct rusage use;
    long long begin = now_us();
    t.status = wait_for(start(argv, s), &use);
    t.wall_us = now_us() - begin;
    t.cpu_us = (long long)(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000 +
               use.ru_utime.tv_usec + use.ru_stime.tv_usec;
    t.rss_kib = use.ru_maxrss;
    return t;
}

/* `runs` runs (at most SESSION_RUNS): median wall and CPU time, largest
 * peak memory, and the first status other than 0, if any. */
static struct timing timed_runs(char* const argv[], const struct streams* s, int runs) {
    long long walls[SESSION_RUNS], cpus[SESSION_RUNS];
    struct timing all = {0, 0, 0, 0};
    for (int k = 0; k < runs; k++) {
        struct timing t = timed_run(argv, s);
        walls[k] = t.wall_us;
        cpus[k] = t.cpu_us;
        if (t.rss_kib > all.rss_kib) all.rss_kib = t.rss_kib;
        if (all.status == 0) all.status = t.status;
    }
    all.wall_us = median(walls, runs);
    all.cpu_us = median(cpus, runs);
    return all;
}

/* --- The table ----------------------------------------------------------------- */

struct row {
    const char *figure, *value, *target, *result, *how;
};
static struct row rows[MAX_ROWS];
static int row_count;

/* result: "met", "MISSED", "n/a" (not measured) or "" (a figure only). */
static void row(const char* figure, const char* value, const char* target, const char* result,
                const char* how) {
    if (row_count == MAX_ROWS) die("too many rows");
    rows[row_count++] = (struct row){figure, value, target, result, how};
}

static const char* verdict(int met) {
    return met ? "met" : "MISSED";
}

static void print_row(const struct row* r) {
    printf("%-38s %-22s %-13s %-7s %s\n", r->figure, r->value, r->target, r->result, r->how);
}

static int count_results(const char* result) {
    int n = 0;
    for (int k = 0; k < row_count; k++) n += strcmp(rows[k].result, result) == 0;
    return n;
}

static void list_results(const char* result, const char* label) {
    for (int k = 0; k < row_count; k++)
        if (strcmp(rows[k].result, result) == 0) printf("%s: %s\n", label, rows[k].figure);
}

static int cores(void) {
    cpu_set_t set;
    return sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
}

static void print_table(const char* kelvra) {
    char when[32];
    time_t now = time(NULL);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M UTC", gmtime(&now));
    printf("\nKelvra benchmarks: %s (Release), %d cores, %s\n\n", kelvra, cores(), when);
    print_row(&(struct row){"Figure", "Value", "Target", "Result", "How measured"});
    printf("%.150s\n",
           "------------------------------------------------------------"
           "------------------------------------------------------------"
           "------------------------------");
    for (int k = 0; k < row_count; k++) print_row(&rows[k]);
    int met = count_results("met");
    printf("\nTargets met: %d of %d.\n", met, met + count_results("MISSED") + count_results("n/a"));
    list_results("MISSED", "MISSED");
    list_results("n/a", "NOT MEASURED");
}

/* --- Notification mode ------------------------------------------------------------ */
/* Option 2 on an empty table watches the clock until the process is ended.
 * It is started first and sleeps while the rest is measured. Its input is a
 * pipe that stays open: a program that ends the mode at end of input must
 * still watch until it is ended. A reader process takes the watch's CPU time
 * after exactly BENCH_WATCH_SECONDS and then ends it with SIGTERM. */

static int watch_writer = -1; /* kept open until the watch has ended */
static int watch_result = -1; /* where the reader's line arrives */
static char* watch_output;

/* State (field 3) and user + system clock ticks (fields 14 and 15) of
 * /proc/PID/stat; false when the process is gone. */
static int proc_state(pid_t pid, char* state, long long* ticks) {
    char path[64], line[1024];
    long long user, system;
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f) return 0;
    char* end = fgets(line, sizeof line, f) ? strrchr(line, ')') : NULL;
    fclose(f);
    if (!end || sscanf(end + 2, "%c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lld %lld", state,
                       &user, &system) != 3)
        return 0;
    *ticks = user + system;
    return 1;
}

/* CPU time used so far, in microseconds, from the process's CPU-time clock:
 * /proc/PID/stat counts in ticks of 10 ms, too coarse for a process that
 * sleeps. -1 when the clock cannot be read. */
static long long cpu_clock_us(pid_t pid) {
    clockid_t clock;
    struct timespec ts;
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0) return -1;
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

/* The reader: at `seconds` after `started`, writes "TICKS CPU_US" for a
 * watch still running and ends it. A watch that ended by itself (a zombie
 * until measure waits for it) is left as it is, and nothing is written.
 * Until measure waits for it, its process id cannot go to another. */
static void read_watch_then_end(long long started, int seconds, int out) {
    long long due = started + seconds * 1000000LL;
    struct timespec ts = {(time_t)(due / 1000000), (long)(due % 1000000) * 1000};
    char state = 'Z';
    long long ticks = 0;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, NULL) == EINTR) {
    }
    if (proc_state(watch_pid, &state, &ticks) && state != 'Z') {
        long long us = cpu_clock_us(watch_pid);
        kill(watch_pid, SIGTERM);
        dprintf(out, "%lld %lld\n", ticks, us);
    }
    _exit(0);
}

static void start_watch(const char* kelvra, int seconds) {
    int input[2], result[2];
    char* argv[] = {(char*)kelvra, NULL};
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(result, O_CLOEXEC) != 0) die("no pipe");
    watch_output = in_scratch("watch.out");
    struct streams s = {workdir("watch"), NULL, input[0], watch_output, NULL, clean_env};
    long long started = now_us();
    watch_pid = start(argv, &s);
    /* Written while measure still holds the reading end, so that a watch
     * that ended at once cannot make the write raise SIGPIPE. */
    if (write(input[1], "2\n", 2) != 2) die("cannot write to the watch");
    close(input[0]);
    watch_writer = input[1];
    reader_pid = fork();
    if (reader_pid < 0) die("cannot start the watch's reader");
    if (reader_pid == 0) read_watch_then_end(started, seconds, result[1]);
    close(result[1]);
    watch_result = result[0];
}

/* Whether the line, without its newline, is exactly "la hora es: HH:MM". */
static int is_clock_line(const char* line) {
    static const char shape[] = "la hora es: 00:00";
    for (size_t k = 0; k < sizeof shape - 1; k++) {
        int digit = line[k] >= '0' && line[k] <= '9';
        if (shape[k] == '0' ? !digit : line[k] != shape[k]) return 0;
    }
    return line[sizeof shape - 1] == '\0';
}

static long clock_lines(const char* path) {
    FILE* f = fopen(path, "r");
    char* line = NULL;
    size_t size = 0;
    long count = 0;
    while (f && getline(&line, &size, f) >= 0) {
        line[strcspn(line, "\n")] = '\0';
        count += is_clock_line(line);
    }
    free(line);
    if (f) fclose(f);
    return count;
}

static void finish_watch(int seconds) {
    char line[64] = "";
    long long ticks = 0, us = -1;
    printf("Waiting for the notification watch to reach %d s ...\n", seconds);
    wait_for(reader_pid, NULL);
    reader_pid = 0;
    ssize_t got = read(watch_result, line, sizeof line - 1);
    int measured = got > 0 && sscanf(line, "%lld %lld", &ticks, &us) == 2;
    kill(watch_pid, SIGTERM); /* in case the reader could not tell */
    close(watch_writer);
    int status = wait_for(watch_pid, NULL);
    watch_pid = 0;

    const char* name = text("CPU, %d s of notification mode", seconds);
    long lines = clock_lines(watch_output);
    if (!measured)
        row(name, "-", "< 10 ms", "n/a",
            text("not measured: option 2 on an empty table ended by itself (status %d)", status));
    else if (us < 0)
        row(name, "-", "< 10 ms", "n/a", "not measured: its CPU-time clock could not be read");
    else if (lines < 1)
        row(name, ms(us), "< 10 ms", "n/a", "not measured: option 2 printed no clock line");
    else
        row(name, ms(us), "< 10 ms", verdict(us < 10000),
            text("CPU-time clock at %d s, then SIGTERM (/proc stat: %lld ms); %ld clock lines",
                 seconds, ticks * 1000 / sysconf(_SC_CLK_TCK), lines));
}

/* --- Shared libraries --------------------------------------------------------------- */

/* The NEEDED entries of `readelf -d`, space-separated. */
static char* needed_libraries(const char* program) {
    char* out = in_scratch("readelf.txt");
    char* argv[] = {"readelf", "-d", (char*)program, NULL};
    struct streams s = {NULL, "/dev/null", -1, out, NULL, NULL};
    if (run(argv, &s) != 0) die("readelf -d %s failed", program);
    FILE* f = open_or_die(out, "r");
    char line[512], *list = text("");
    while (fgets(line, sizeof line, f)) {
        char *from = strchr(line, '['), *to = from ? strchr(from, ']') : NULL;
        if (!strstr(line, "(NEEDED)") || !to) continue;
        list = text("%s%s%.*s", list, *list ? " " : "", (int)(to - from - 1), from + 1);
    }
    fclose(f);
    return list;
}

static void measure_libraries(const char* kelvra) {
    char* needed = needed_libraries(kelvra);
    row("shared libraries loaded", *needed ? needed : "none", "libc.so.6",
        verdict(strcmp(needed, "libc.so.6") == 0), "readelf -d: NEEDED entries of the binary");
}

/* --- Start-up ------------------------------------------------------------------------ */

/* The three programs take turns, so a change in the machine's load while
 * they run falls on all three alike. The first round only warms the page
 * cache. A run that does not end with status 0 voids the whole bench. */
static void measure_startup(char* programs[3], const char* empty) {
    static long long walls[3][STARTUP_RUNS];
    printf("Timing start-up (%d runs of each) ...\n", STARTUP_RUNS);
    struct streams s = {workdir("start"), empty, -1, "/dev/null", NULL, clean_env};
    for (int k = 0; k <= STARTUP_RUNS; k++)
        for (int p = 0; p < 3; p++) {
            char* argv[] = {programs[p], NULL};
            struct timing t = timed_run(argv, &s);
            if (t.status != 0) die("%s did not end with status 0 on empty input", programs[p]);
            if (k > 0) walls[p][k - 1] = t.wall_us;
        }
    long long kelvra = median(walls[0], STARTUP_RUNS), bin_true = median(walls[1], STARTUP_RUNS);
    long long minimal = median(walls[2], STARTUP_RUNS), ratio = hundredths(kelvra, bin_true);
    row("start-up to orderly end, kelvra", ms(kelvra), "-", "",
        text("median of %d fork+exec+wait, stdin empty, stdout /dev/null", STARTUP_RUNS));
    row("start-up, /bin/true", ms(bin_true), "-", "", "the same way");
    row("start-up, minimal C menu program", ms(minimal), "-", "",
        "the same way (bench/menu_min.c, cc -O2)");
    row("start-up ratio kelvra : /bin/true", ratio_text(ratio), "<= 2.00x", verdict(ratio <= 200),
        "the two medians above");
}

/* --- Instructions -------------------------------------------------------------------- */

/* Runs the program under callgrind on `input` in `dir`; the profile goes to
 * SCRATCH/NAME.cg and callgrind's report to `log`. */
static char* profile(const char* program, const char* name, const char* input, const char* dir,
                     const char* log) {
    char* cg = text("%s/%s.cg", scratch, name);
    char* argv[] = {"valgrind",
                    "--tool=callgrind",
                    text("--callgrind-out-file=%s", cg),
                    text("--log-file=%s", log),
                    (char*)program,
                    NULL};
    struct streams s = {dir, input, -1, "/dev/null", NULL, clean_env};
    run(argv, &s);
    return cg;
}

static long long instructions(const char* program, const char* name, const char* empty) {
    char* log = text("%s/%s.cglog", scratch, name);
    profile(program, name, empty, workdir("callgrind"), log);
    long long count = number_after(log, "Collected : ");
    if (count < 0) die("callgrind gave no count for %s", program);
    return count;
}

/* Returns whether the target is missed. */
static int measure_instructions(char* programs[3], const char* empty) {
    printf("Counting instructions (callgrind) ...\n");
    long long kelvra = instructions(programs[0], "kelvra", empty);
    long long minimal = instructions(programs[2], "menu_min", empty);
    long long bin_true = instructions(programs[1], "true", empty);
    long long ratio = hundredths(kelvra, minimal);
    row("instructions, kelvra", thousands(kelvra), "-", "",
        "valgrind --tool=callgrind, whole process, empty input");
    row("instructions, minimal C menu program", thousands(minimal), "-", "", "the same way");
    row("instructions, /bin/true", thousands(bin_true), "-", "", "the same way");
    row("instructions ratio kelvra : minimal C", ratio_text(ratio), "<= 1.30x",
        verdict(ratio <= 130), "the counts above");
    return ratio > 130;
}

/* --- The long session ------------------------------------------------------------------ */

/* The type of the file system that holds `path`, as df names it: that of
 * the longest mount point containing it. */
static char* filesystem_of(const char* path) {
    char real[PATH_MAX], *type = text("?");
    size_t best = 0;
    FILE* mounts = setmntent("/proc/self/mounts", "r");
    if (!realpath(path, real) || !mounts) die("cannot tell the file system of %s", path);
    for (struct mntent* m; (m = getmntent(mounts));) {
        size_t len = strlen(m->mnt_dir);
        int contains = strncmp(real, m->mnt_dir, len) == 0 &&
                       (real[len] == '/' || real[len] == '\0' || len == 1);
        if (contains && len >= best) {
            best = len;
            type = text("%s", m->mnt_type);
        }
    }
    endmntent(mounts);
    return type;
}

/* What a session left behind shows whether the listing commands ran: the
 * screen list names the last note once per option 3, and option 5 leaves
 * "MiListaNotas.txt" with it. NULL when they ran, else what went wrong. */
static const char* listing_fault(const char* kelvra, const char* session) {
    char* dir = workdir("check");
    char* out = in_scratch("check.out");
    char* argv[] = {(char*)kelvra, NULL};
    struct streams s = {dir, session, -1, out, NULL, clean_env};
    run(argv, &s);
    long shown = lines_containing(out, last_note);
    if (shown < CYCLES / 2)
        return text("option 3 showed the list %ld times of %d", shown, CYCLES / 2);
    if (lines_containing(text("%s/MiListaNotas.txt", dir), last_note) == 0)
        return "option 5 wrote no MiListaNotas.txt with the notes";
    return NULL;
}

/* For information, when the build's disk is not where the sessions ran:
 * one run of the session in a folder there. */
static void time_on_disk(char* const argv[], const char* session, const char* work_fs,
                         const char* disk_dir) {
    make_folder(disk_dir);
    char* disk_fs = filesystem_of(disk_dir);
    if (strcmp(disk_fs, work_fs) == 0) return;
    struct streams s = {disk_dir, session, -1, "/dev/null", NULL, clean_env};
    struct timing t = timed_runs(argv, &s, 1);
    row("the same, cwd on the build's disk", ms(t.wall_us), "-", "",
        text("one run, cwd on %s; CPU %s, the rest waits for the disk", disk_fs, ms(t.cpu_us)));
}

/* The sessions run in a working folder in memory when there is one: option
 * 5 rewrites "MiListaNotas.txt" every other cycle, and on a disk the time
 * then measures the disk's write-back rather than the program. The same
 * session is timed once more on the build's disk, for information.
 * Returns whether the time target is missed. */
static int measure_session(const char* kelvra, const char* session, const char* listing,
                           const char* disk_dir) {
    char* argv[] = {(char*)kelvra, NULL};
    const char* cycles = thousands(CYCLES);
    printf("Timing %d menu cycles (%d runs) ...\n", CYCLES, SESSION_RUNS);
    struct streams s = {workdir("long"), session, -1, "/dev/null", NULL, clean_env};
    struct timing t = timed_runs(argv, &s, SESSION_RUNS);
    const char* work_fs = filesystem_of(s.dir);
    const char* name = text("%s cycles, total time", cycles);
    if (t.status != 0)
        row(name, text("status %d", t.status), "< 1000 ms", "n/a",
            "the session did not end with status 0");
    else if (listing)
        row(name, ms(t.wall_us), "< 1000 ms", "n/a", text("not measured: %s", listing));
    else
        row(name, ms(t.wall_us), "< 1000 ms", verdict(t.wall_us < 1000000),
            text("options 3,5 alternating, 10 notes, stdout /dev/null, cwd on %s; median of %d",
                 work_fs, SESSION_RUNS));
    row(text("%s cycles, cycles per second", cycles),
        text("%s/s", thousands(t.wall_us > 0 ? CYCLES * 1000000LL / t.wall_us : 0)), "-", "",
        "from the time above");
    row(text("%s cycles, CPU time", cycles), ms(t.cpu_us), "-", "",
        "wait4: user + system time, median");
    row("peak resident memory of that session", text("%ld KiB", t.rss_kib), "< 4096 KiB",
        listing ? "n/a" : verdict(t.rss_kib < 4096),
        listing ? text("not measured: %s", listing) : "wait4: ru_maxrss, largest of the runs");
    time_on_disk(argv, session, work_fs, disk_dir);
    return !listing && t.wall_us >= 1000000;
}

/* --- Heap ------------------------------------------------------------------------------- */

struct heap {
    long long allocs, in_use;
    char* dir;
};

/* One session under memcheck: its heap summary, and the folder it ran in. */
static struct heap heap_of(const char* kelvra, const char* name) {
    struct heap h = {0, 0, workdir(text("heap-%s", name))};
    char* log = text("%s/%s.mclog", scratch, name);
    char* argv[] = {"valgrind", "--tool=memcheck", text("--log-file=%s", log), (char*)kelvra, NULL};
    struct streams s = {h.dir, text("%s/in/%s", scratch, name), -1, "/dev/null", NULL, clean_env};
    run(argv, &s);
    h.allocs = number_after(log, "total heap usage: ");
    h.in_use = number_after(log, "in use at exit: ");
    if (h.allocs < 0 || h.in_use < 0) die("memcheck gave no heap summary for the session %s", name);
    return h;
}

static char* pair(long long a, long long b) {
    return text("%lld / %lld", a, b);
}

static void measure_heap(const char* kelvra, const char* listing) {
    printf("Counting heap use (memcheck) ...\n");
    struct heap list_short = heap_of(kelvra, "list_short"),
                list_long = heap_of(kelvra, "list_long");
    struct heap mix_short = heap_of(kelvra, "mix_short"), mix_long = heap_of(kelvra, "mix_long");
    int saved = lines_containing(text("%s/NotasGuardadas.txt", mix_long.dir), last_note) > 0;

    const char* allocs = pair(list_short.allocs, list_long.allocs);
    if (listing)
        row("heap allocations, option 3", allocs, "equal", "n/a",
            text("not measured: %s", listing));
    else
        row("heap allocations, option 3", allocs, "equal",
            verdict(list_short.allocs == list_long.allocs),
            text("memcheck heap summary, option 3 x%d and x%d, 10 notes", SHORT_CYCLES, CYCLES));
    row("heap allocations, options 3,5,7", pair(mix_short.allocs, mix_long.allocs), "-", "",
        "the C library's FILE and buffer at each fopen");
    const char* in_use = pair(mix_short.in_use, mix_long.in_use);
    if (listing || !saved)
        row("bytes in use at exit, options 3,5,7", in_use, "equal", "n/a",
            text("not measured: %s", listing ? listing : "option 7 wrote no NotasGuardadas.txt"));
    else
        row("bytes in use at exit, options 3,5,7", in_use, "equal",
            verdict(mix_short.in_use == mix_long.in_use),
            text("memcheck 'in use at exit', options 3,5,7 x%d and x%d", SHORT_CYCLES, CYCLES));
}

/* --- Where the instructions go -------------------------------------------------------------- */
/* For the lead to judge a missed target: the functions with the largest own
 * counts, and the object each lives in. */

static void print_top_functions(const char* cg) {
    char* out = in_scratch("annotate.txt");
    char* argv[] = {"callgrind_annotate", "--inclusive=no", (char*)cg, NULL};
    struct streams s = {NULL, "/dev/null", -1, out, "/dev/null", NULL};
    run(argv, &s);
    FILE* f = open_or_die(out, "r");
    char* line = NULL;
    size_t size = 0;
    int on = 0, shown = 0;
    while (shown < TOP_FUNCTIONS && getline(&line, &size, f) >= 0) {
        int blank = strspn(line, " \t\n") == strlen(line);
        if (on && !blank && line[0] != '-') {
            line[strcspn(line, "\n")] = '\0';
            printf("  %s\n", line);
            shown++;
        }
        if (strstr(line, "file:function")) on = 1;
    }
    free(line);
    fclose(f);
}

static void print_session_profile(const char* kelvra) {
    char* input = write_session("profile", PROFILE_CYCLES, "35");
    printf("\nA %s-cycle session of options 3 and 5 by function (callgrind, own counts):\n",
           thousands(PROFILE_CYCLES));
    print_top_functions(profile(kelvra, "session", input, workdir("profile"), "/dev/null"));
}

/* --- The whole bench ------------------------------------------------------------------------ */

/* Every program runs in the same small environment: the dynamic loader's
 * start-up work grows with the size of the environment, so measuring in the
 * caller's would compare environments, not programs. */
static void set_clean_env(void) {
    char* home = in_scratch("home");
    make_folder(home);
    char* env[] = {
        "USERNAME=ana", text("HOME=%s", home), "PATH=/usr/bin:/bin", "LANG=C", "TZ=UTC", NULL};
    memcpy(clean_env, env, sizeof env);
}

static int watch_seconds(void) {
    const char* value = getenv("BENCH_WATCH_SECONDS");
    char* end;
    long seconds = value && *value ? strtol(value, &end, 10) : 30;
    if (value && *value && (*end || seconds < 1 || seconds > 3600))
        die("BENCH_WATCH_SECONDS must be a whole number of seconds, 1 to 3600");
    return (int)seconds;
}

/* SCRATCH/in: empty input, the timed session of options 3 and 5, and the
 * pairs of short and long sessions whose heap use must be the same. */
static void write_inputs(void) {
    make_folder(in_scratch("in"));
    fclose(open_or_die(in_scratch("in/empty"), "w"));
    write_session("list_export_long", CYCLES, "35");
    write_session("list_short", SHORT_CYCLES, "3");
    write_session("list_long", CYCLES, "3");
    write_session("mix_short", SHORT_CYCLES, "357");
    write_session("mix_long", CYCLES, "357");
}

int main(int argc, char** argv) {
    if (argc != 6) {
        fputs("usage: measure KELVRA MENU_MIN TRUE SCRATCH DISK_DIR\n", stderr);
        return 2;
    }
    for (int k = 1; k <= 3; k++) /* the sessions run in folders of their own */
        if (argv[k][0] != '/') die("%s: the programs need absolute paths", argv[k]);
    char* programs[3] = {argv[1], argv[3], argv[2]}; /* kelvra, true, menu_min */
    const char* details = getenv("BENCH_DETAILS");
    int show_details = details && strcmp(details, "1") == 0, seconds = watch_seconds();
    scratch = argv[4];
    set_clean_env();
    write_inputs();
    char *empty = in_scratch("in/empty"), *list_export_long = in_scratch("in/list_export_long");

    start_watch(argv[1], seconds);
    measure_libraries(argv[1]);
    measure_startup(programs, empty);
    int instructions_missed = measure_instructions(programs, empty);
    const char* listing = listing_fault(argv[1], list_export_long);
    int session_missed = measure_session(argv[1], list_export_long, listing, argv[5]);
    measure_heap(argv[1], listing);
    finish_watch(seconds);

    print_table(argv[1]);
    if (instructions_missed || show_details) {
        printf("\nStart-up instructions by function (callgrind, own counts):\n");
        print_top_functions(in_scratch("kelvra.cg"));
    }
    if (session_missed || show_details) print_session_profile(argv[1]);
    return 0;
}
