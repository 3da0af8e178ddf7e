/* Measures what programs cost, for tools/bench.sh.
 *
 *   measure run RUNS STDIN_FILE PROGRAM [ARGS...]
 *
 * Runs PROGRAM (an absolute path) RUNS times. Every run gets STDIN_FILE as
 * standard input and /dev/null as standard output and error, in the current
 * directory and environment. Prints one line of numbers, all integers:
 *
 *   median_wall_us min_wall_us median_cpu_us max_rss_kib worst_status
 *
 * Wall time is taken around fork, exec and wait with the monotonic clock;
 * CPU time (user + system) and peak resident memory come from wait4's
 * resource usage of the child alone. worst_status is 0 when every run ended
 * with status 0, else the first other exit status, or 128 + the signal.
 *
 *   measure cpu PID
 *
 * Prints the CPU time (user + system) that the running process PID has used
 * so far, in microseconds, read from its CPU-time clock: /proc/PID/stat
 * counts in clock ticks of 10 ms, too coarse for a process that sleeps. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { MAX_RUNS = 1000 };

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

/* One run: returns its status as described above, fills wall, cpu and rss. */
static int run_once(const char* input, char** argv, long long* wall, long long* cpu, long* rss) {
    long long start = now_us();
    pid_t pid = fork();
    if (pid < 0) return 255;
    if (pid == 0) {
        int in = open(input, O_RDONLY);
        int out = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execv(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    struct rusage use;
    if (wait4(pid, &status, 0, &use) < 0) return 255;
    *wall = now_us() - start;
    *cpu = (long long)(use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000000 + use.ru_utime.tv_usec +
           use.ru_stime.tv_usec;
    *rss = use.ru_maxrss;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}

static int print_cpu_of(const char* pid_text) {
    clockid_t clock;
    struct timespec ts;
    pid_t pid = (pid_t)atol(pid_text);
    if (pid <= 0 || clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0) {
        fprintf(stderr, "measure: no CPU clock for process %s\n", pid_text);
        return 1;
    }
    printf("%lld\n", (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000);
    return 0;
}

static int usage(void) {
    fputs(
        "usage: measure run RUNS STDIN_FILE PROGRAM [ARGS...]\n"
        "       measure cpu PID\n",
        stderr);
    return 2;
}

int main(int argc, char** argv) {
    static long long walls[MAX_RUNS], cpus[MAX_RUNS];
    if (argc == 3 && strcmp(argv[1], "cpu") == 0) return print_cpu_of(argv[2]);
    if (argc < 5 || strcmp(argv[1], "run") != 0) return usage();
    argv++;
    int runs = atoi(argv[1]);
    if (runs < 1 || runs > MAX_RUNS) {
        fprintf(stderr, "measure: RUNS must be 1 to %d\n", MAX_RUNS);
        return 2;
    }
    long long min_wall = -1;
    long max_rss = 0;
    int worst = 0;
    for (int k = 0; k < runs; k++) {
        long rss = 0;
        int status = run_once(argv[2], argv + 3, &walls[k], &cpus[k], &rss);
        if (status != 0 && worst == 0) worst = status;
        if (min_wall < 0 || walls[k] < min_wall) min_wall = walls[k];
        if (rss > max_rss) max_rss = rss;
    }
    printf("%lld %lld %lld %ld %d\n", median(walls, runs), min_wall, median(cpus, runs), max_rss,
           worst);
    return 0;
}
