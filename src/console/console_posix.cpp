// The console layer on Linux and other POSIX systems: ANSI sequences on a
// terminal, plain text when redirected, termios for the single key press,
// child processes for printing and for the desktop's warning box.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include "console/console.h"

// Declared by unistd.h on some systems only.
extern char** environ;  // NOLINT(readability-redundant-declaration)

// What console_restore must undo. Written outside signal handlers only while
// the handlers can see a consistent value.
static volatile sig_atomic_t colour_changed = 0;
static volatile sig_atomic_t terminal_changed = 0;
static struct termios saved_mode;
static int saved_mode_valid = 0;

static const char kResetColour[] = "\033[0m";

static int posix_is_terminal(FILE* f) {
    int fd = fileno(f);
    return fd >= 0 && isatty(fd);
}

// Only what is async-signal-safe: this also runs inside the signal handler.
static void restore_now(void) {
    if (terminal_changed && saved_mode_valid) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
        terminal_changed = 0;
    }
    if (colour_changed) {
        ssize_t ignored = write(STDOUT_FILENO, kResetColour, sizeof kResetColour - 1);
        (void)ignored;
        colour_changed = 0;
    }
}

void console_restore(void) {
    fflush(stdout);
    restore_now();
}

// Restore the terminal, then die of the same signal so the exit status
// tells the parent what happened.
static void on_signal(int sig) {
    restore_now();
    signal(sig, SIG_DFL);
    raise(sig);
}

void console_start(void) {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_mode) == 0) saved_mode_valid = 1;
    atexit(console_restore);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int sig : signals) {
        struct sigaction sa;
        memset(&sa, 0, sizeof sa);
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
}

static void posix_cls(FILE* out) {
    if (posix_is_terminal(out)) {
        fputs("\033[2J\033[H", out);
    } else {
        fputc('\f', out);
    }
}

static void posix_color(FILE* out, int scheme) {
    const char* no_color = getenv("NO_COLOR");
    if (!posix_is_terminal(out) || (no_color != nullptr && no_color[0] != '\0')) return;
    fputs(scheme == CONSOLE_YELLOW ? "\033[0;33;40m" : "\033[0;31;40m", out);
    fflush(out);
    colour_changed = 1;
}

// Reads up to and including the next line end. Returns DONE, or INPUT_END
// at end of input with nothing read.
static int consume_line(FILE* in) {
    int c = getc(in);
    if (c == EOF) return INPUT_END;
    while (c != EOF && c != '\n') c = getc(in);
    return DONE;
}

// One key, unechoed, with the terminal put back right after.
static int read_single_key(FILE* in) {
    int fd = fileno(in);
    struct termios mode;
    if (tcgetattr(fd, &mode) != 0) return getc(in);
    if (!saved_mode_valid) {
        saved_mode = mode;
        saved_mode_valid = 1;
    }
    struct termios raw = mode;
    raw.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    terminal_changed = 1;
    tcsetattr(fd, TCSANOW, &raw);
    int c = getc(in);
    tcsetattr(fd, TCSANOW, &mode);
    terminal_changed = 0;
    return c;
}

// From a pipe the key-wait takes one line, so a scripted session is a text
// file with an empty line after each command.
static int posix_read_key(FILE* in) {
    if (!posix_is_terminal(in)) return consume_line(in);
    return read_single_key(in) == EOF ? INPUT_END : DONE;
}

static void posix_drop_typed_keys(FILE* in) {
    if (posix_is_terminal(in)) tcflush(fileno(in), TCIFLUSH);
}

// The terminal already speaks UTF-8 to the program: its bytes go as they are.
static int posix_read_byte(FILE* in) {
    return getc(in);
}

static void posix_unread_byte(int c, FILE* in) {
    ungetc(c, in);
}

// A clock that cannot be read shows midnight rather than whatever the
// caller's memory held.
static void posix_local_time(struct tm* now) {
    time_t t = time(nullptr);
    if (localtime_r(&t, now) == nullptr) memset(now, 0, sizeof *now);
}

// The exit status a shell gives a command it could not start.
enum { NOT_STARTED = 127 };

// Starts a program found on PATH with `argv`, its standard output sent to
// /dev/null when `quiet`, and waits for it. Returns its exit status,
// NOT_STARTED when it could not be started, or -1 when it did not exit
// normally.
static int run_program(char* const argv[], int quiet) {
    fflush(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int err = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) return NOT_STARTED;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

static int has_desktop(void) {
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// On a desktop the box is zenity's warning dialog. The texts go to it as
// separate arguments, never through a shell, so nothing the user typed is
// interpreted.
static int posix_box(const char* text, const char* caption) {
    if (has_desktop()) {
        char title[sizeof "--title=" + 256];
        char body[sizeof "--text=" + 512];
        snprintf(title, sizeof title, "--title=%s", caption);
        snprintf(body, sizeof body, "--text=%s", text);
        char zenity[] = "zenity";
        char warning[] = "--warning";
        char no_markup[] = "--no-markup";
        char* const argv[] = {zenity, warning, no_markup, title, body, nullptr};
        int status = run_program(argv, 1);
        if (status != NOT_STARTED) return status == 0 ? DONE : BOX_FAILED;
    }
    return CALL_FAILED;
}

enum { MS_PER_SECOND = 1000, NS_PER_MS = 1000000 };

static long long now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * MS_PER_SECOND + ts.tv_nsec / NS_PER_MS;
}

static void sleep_ms(long long ms) {
    struct timespec rest;
    rest.tv_sec = (time_t)(ms / MS_PER_SECOND);
    rest.tv_nsec = (long)(ms % MS_PER_SECOND) * NS_PER_MS;
    while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
    }
}

// At a terminal the wait also listens for Enter, which asks to leave the
// mode; the wait still lasts its full time, and every Enter typed in it is
// taken so none is left over for the key-wait that follows. The end of input
// asks to leave as well. From a pipe it is a plain sleep, so scripted
// sessions stay predictable. Either way the process sleeps in the kernel.
static int posix_wait(int ms, FILE* in) {
    if (!posix_is_terminal(in)) {
        sleep_ms(ms);
        return DONE;
    }
    int leave = DONE;
    int listening = 1;
    const long long end = now_ms() + ms;
    for (long long left = ms; left > 0; left = end - now_ms()) {
        if (!listening) {
            sleep_ms(left);
            break;
        }
        struct pollfd p;
        p.fd = fileno(in);
        p.events = POLLIN;
        p.revents = 0;
        int ready = poll(&p, 1, (int)left);
        // A terminal that cannot be polled, or has hung up or ended, would
        // answer at once on every call: stop listening rather than spin.
        if (ready < 0 && errno != EINTR) listening = 0;
        if (ready > 0) {
            leave = USER_LEFT;
            if ((p.revents & POLLIN) == 0 || consume_line(in) != DONE) listening = 0;
        }
    }
    return leave;
}

// The file goes to the standard print command; its "request id" chatter is
// dropped so success stays silent.
static int posix_print(const char* path) {
    char lp[] = "lp";
    char* const argv[] = {lp, const_cast<char*>(path), nullptr};
    return run_program(argv, 1) == 0 ? DONE : CALL_FAILED;
}

static int posix_sync_file(FILE* file) {
    if (fflush(file) != 0) return CALL_FAILED;
    return fsync(fileno(file)) == 0 ? DONE : CALL_FAILED;
}

static int posix_replace_file(const char* from, const char* to) {
    return rename(from, to) == 0 ? DONE : CALL_FAILED;
}

static const char* non_empty_env(const char* name) {
    const char* value = getenv(name);
    return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

// USERPROFILE first, as on Windows, so one setting serves both systems.
static int posix_home_folder(char* path, size_t size) {
    const char* base = non_empty_env("USERPROFILE");
    if (base == nullptr) base = non_empty_env("HOME");
    if (base == nullptr) return CALL_FAILED;
    int len = snprintf(path, size, "%s", base);
    return (len >= 0 && (size_t)len < size) ? DONE : CALL_FAILED;
}

// Text files here have been UTF-8 all along: any other bytes are kept.
// NOLINTNEXTLINE(readability-non-const-parameter): the slot writes on Windows.
static void posix_legacy_to_utf8(char* line, size_t size) {
    (void)line;
    (void)size;
}

static const Console kSystem = {
    posix_cls,
    posix_color,
    posix_is_terminal,
    posix_read_key,
    posix_drop_typed_keys,
    posix_read_byte,
    posix_unread_byte,
    posix_local_time,
    posix_box,
    posix_wait,
    posix_print,
    posix_sync_file,
    posix_replace_file,
    posix_home_folder,
    posix_legacy_to_utf8,
    '/',
};

const Console* console_system(void) {
    return &kSystem;
}

const char* console_user_name(void) {
    static char name[256];
    const char* found = non_empty_env("USERNAME");
    if (found == nullptr) found = non_empty_env("USER");
    if (found == nullptr) found = non_empty_env("LOGNAME");
    if (found == nullptr) {
        const struct passwd* account = getpwuid(geteuid());
        if (account != nullptr && account->pw_name != nullptr) found = account->pw_name;
    }
    if (found == nullptr) found = "";
    snprintf(name, sizeof name, "%s", found);
    return name;
}
