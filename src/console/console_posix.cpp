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
#include <sys/stat.h>
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
// The program started by run_program while it runs, so a signal that ends
// the program ends it too instead of leaving its window behind.
static volatile sig_atomic_t running_child = 0;
// What a stopped and continued program sets up again: the key-wait's mode
// and the colour last chosen.
static struct termios key_mode;
static const char* volatile colour_code = nullptr;

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

// Restore the terminal and end the running child, then die of the same
// signal so the exit status tells the parent what happened.
static void on_signal(int sig) {
    restore_now();
    if (running_child > 0) kill((pid_t)running_child, SIGTERM);
    signal(sig, SIG_DFL);
    raise(sig);
}

static void handle(int sig, void (*handler)(int)) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    // A read interrupted by a stop goes on once the program is continued.
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
}

// Ctrl-Z: give the shell back its terminal as it was, stop, and once
// continued set up again what was in use, so a key-wait in progress still
// takes one key unechoed.
static void on_stop(int sig) {
    const int was_raw = terminal_changed;
    const int was_coloured = colour_changed;
    restore_now();
    signal(sig, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, sig);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(sig);
    // Continued.
    handle(sig, on_stop);
    if (was_raw) {
        tcsetattr(STDIN_FILENO, TCSANOW, &key_mode);
        terminal_changed = 1;
    }
    const char* code = colour_code;
    if (was_coloured && code != nullptr) {
        ssize_t ignored = write(STDOUT_FILENO, code, strlen(code));
        (void)ignored;
        colour_changed = 1;
    }
}

// The signals that end the program through on_signal.
static void ending_signals(sigset_t* set) {
    sigemptyset(set);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGHUP);
}

void console_start(void) {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_mode) == 0) saved_mode_valid = 1;
    atexit(console_restore);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int sig : signals) handle(sig, on_signal);
    // A shell without job control starts the program with Ctrl-Z ignored.
    struct sigaction was;
    if (sigaction(SIGTSTP, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
        handle(SIGTSTP, on_stop);
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
    colour_code = scheme == CONSOLE_YELLOW ? "\033[0;33;40m" : "\033[0;31;40m";
    fputs(colour_code, out);
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

enum {
    ESC = 0x1b,
    // A UTF-8 lead byte is 11xxxxxx; 110, 1110 and 11110 announce one, two
    // and three bytes more.
    UTF8_LEAD_2 = 0xC0,
    UTF8_LEAD_3 = 0xE0,
    UTF8_LEAD_4 = 0xF0,
    UTF8_LEAD_END = 0xF8,
    UTF8_TAIL_MASK = 0xC0,
    UTF8_TAIL = 0x80,
    // An escape sequence "ESC [ ..." ends with a byte from @ to ~.
    CSI_FINAL_FIRST = 0x40,
    CSI_FINAL_LAST = 0x7E,
    // No key sends more; a longer run is typed text, not one key.
    MAX_KEY_BYTES = 16,
    // Tenths of a second the rest of a key may take to arrive.
    KEY_REST_TENTHS = 1
};

// The next byte of the key being read, or EOF when none comes in time. A
// late byte is no end of input, so the stream is not left at its end.
static int next_key_byte(FILE* in) {
    int c = getc(in);
    if (c == EOF) clearerr(in);
    return c;
}

static int utf8_tail_count(int lead) {
    if (lead >= UTF8_LEAD_4 && lead < UTF8_LEAD_END) return 3;
    if (lead >= UTF8_LEAD_3 && lead < UTF8_LEAD_4) return 2;
    if (lead >= UTF8_LEAD_2 && lead < UTF8_LEAD_3) return 1;
    return 0;
}

// The bytes a UTF-8 lead byte announces. A byte that cannot carry on the
// character is the next key's and is left unread.
static void take_utf8_tail(FILE* in, int lead) {
    for (int k = utf8_tail_count(lead); k > 0; k--) {
        int c = next_key_byte(in);
        if (c == EOF) return;
        if ((c & UTF8_TAIL_MASK) != UTF8_TAIL) {
            ungetc(c, in);
            return;
        }
    }
}

// What follows ESC in the same key: "[" and its parameters up to the final
// byte (arrows, function keys), "O" and one byte, or the one character
// typed with Alt. A lone ESC has nothing following in time.
static void take_escape_tail(FILE* in) {
    int c = next_key_byte(in);
    if (c == '[') {
        for (int k = 0; k < MAX_KEY_BYTES; k++) {
            c = next_key_byte(in);
            if (c == EOF || (c >= CSI_FINAL_FIRST && c <= CSI_FINAL_LAST)) return;
        }
    } else if (c == 'O') {
        next_key_byte(in);
    } else if (c != EOF) {
        take_utf8_tail(in, c);
    }
}

// One key, unechoed, with the terminal put back right after. The first byte
// is waited for; the rest of the key, if it has more, is taken as it comes
// right after, so none of it is left for the menu.
static int read_single_key(FILE* in) {
    int fd = fileno(in);
    struct termios mode;
    if (tcgetattr(fd, &mode) != 0) return getc(in);
    if (!saved_mode_valid) {
        saved_mode = mode;
        saved_mode_valid = 1;
    }
    key_mode = mode;
    key_mode.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    key_mode.c_cc[VMIN] = 1;
    key_mode.c_cc[VTIME] = 0;
    terminal_changed = 1;
    tcsetattr(fd, TCSANOW, &key_mode);
    int c = getc(in);
    if (c != EOF) {
        key_mode.c_cc[VMIN] = 0;
        key_mode.c_cc[VTIME] = KEY_REST_TENTHS;
        tcsetattr(fd, TCSANOW, &key_mode);
        if (c == ESC) {
            take_escape_tail(in);
        } else {
            take_utf8_tail(in, c);
        }
    }
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
// /dev/null, and its standard error to `errors` unless that is null. The
// ending signals are held while it starts, so on_signal always knows it.
// Returns its pid, or 0 when it could not be started.
static pid_t start_program(char* const argv[], FILE* errors) {
    fflush(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (errors != nullptr)
        posix_spawn_file_actions_adddup2(&actions, fileno(errors), STDERR_FILENO);
    sigset_t ending;
    sigset_t before;
    ending_signals(&ending);
    sigprocmask(SIG_BLOCK, &ending, &before);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setsigmask(&attributes, &before);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ) != 0) pid = 0;
    running_child = pid;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the child `pid` to end. It is forgotten while it still holds its
// pid, so on_signal can never hit another process that took the number.
// Returns its exit status, or -1 when it did not exit normally.
static int finish_program(pid_t pid) {
    siginfo_t ended;
    while (waitid(P_PID, (id_t)pid, &ended, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    running_child = 0;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a program to its end (see start_program). Returns its exit status,
// NOT_STARTED when it could not be started, or -1 when it did not exit
// normally.
static int run_program(char* const argv[], FILE* errors) {
    pid_t pid = start_program(argv, errors);
    return pid == 0 ? NOT_STARTED : finish_program(pid);
}

// Nonzero when the text of `f`, read from its start, holds `words`. Read in
// pieces that overlap by the length of `words`, so none is missed where two
// pieces meet.
static int file_mentions(FILE* f, const char* words) {
    char piece[512];
    const size_t overlap = strlen(words) - 1;
    size_t kept = 0;
    rewind(f);
    for (;;) {
        size_t got = fread(piece + kept, 1, sizeof piece - 1 - kept, f);
        if (got == 0) return 0;
        kept += got;
        piece[kept] = '\0';
        if (strstr(piece, words) != nullptr) return 1;
        if (kept > overlap) {
            memmove(piece, piece + kept - overlap, overlap);
            kept = overlap;
        }
    }
}

static int has_desktop(void) {
    const char* x11 = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

// On a desktop the box is zenity's warning dialog. The texts go to it as
// separate arguments, never through a shell, so nothing the user typed is
// interpreted. zenity answers 0 for OK and 1 when the box was closed (Esc or
// its close button), which acknowledges it too; but it also answers 1 when
// its window could not be opened, and then its standard error says so. That
// is kept from the user's terminal and read here. Any other answer, or no
// way to read what it said, counts as no box shown.
static int posix_box(const char* text, const char* caption) {
    if (!has_desktop()) return CALL_FAILED;
    char title[sizeof "--title=" + 256];
    char body[sizeof "--text=" + 512];
    snprintf(title, sizeof title, "--title=%s", caption);
    snprintf(body, sizeof body, "--text=%s", text);
    char zenity[] = "zenity";
    char warning[] = "--warning";
    char no_markup[] = "--no-markup";
    char* const argv[] = {zenity, warning, no_markup, title, body, nullptr};
    FILE* said = tmpfile();
    if (said == nullptr) return CALL_FAILED;
    int status = run_program(argv, said);
    int no_window = file_mentions(said, "cannot open display");
    fclose(said);
    if (status == 0 || (status == 1 && !no_window)) return DONE;
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

// Takes the rest of the line typed at a terminal, and every further line
// already typed, so none is left over for the key-wait that follows.
static void take_typed_lines(FILE* in) {
    if (consume_line(in) != DONE) return;
    struct pollfd p = {fileno(in), POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0 && consume_line(in) == DONE) {
    }
}

// The wait listens to its input without taking anything a later prompt
// needs. At a terminal a line (Enter) asks to leave the mode at once. Input
// at its end, from a terminal, a pipe or a file, ends the wait at once.
// Input still waiting in a pipe or a file stays unread for the prompts that
// follow, and the wait then sleeps its full time. Either way the process
// sleeps in the kernel.
static int posix_wait(int ms, FILE* in) {
    const int terminal = posix_is_terminal(in);
    const long long end = now_ms() + ms;
    for (long long left = ms; left > 0; left = end - now_ms()) {
        struct pollfd p = {fileno(in), POLLIN, 0};
        int ready = poll(&p, 1, (int)left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) sleep_ms(left);
        if (ready <= 0) break;
        // Something to read, or the other end is gone: one character tells.
        int c = getc(in);
        if (c == EOF) return INPUT_END;
        if (terminal) {
            ungetc(c, in);
            take_typed_lines(in);
            return USER_LEFT;
        }
        ungetc(c, in);
        sleep_ms(end - now_ms());
        break;
    }
    return DONE;
}

// The file goes to the standard print command; its "request id" chatter is
// dropped so success stays silent.
static int posix_print(const char* path) {
    char lp[] = "lp";
    char* const argv[] = {lp, const_cast<char*>(path), nullptr};
    return run_program(argv, nullptr) == 0 ? DONE : CALL_FAILED;
}

static int posix_sync_file(FILE* file) {
    if (fflush(file) != 0) return CALL_FAILED;
    return fsync(fileno(file)) == 0 ? DONE : CALL_FAILED;
}

enum { PATH_TEXT = 4096, NEW_FILE_MODE = 0666, MODE_BITS = 07777 };

// The permissions a new file gets: everything the umask leaves of rw-rw-rw-.
static mode_t new_file_mode(void) {
    mode_t mask = umask(0);
    umask(mask);
    return (mode_t)NEW_FILE_MODE & ~mask;
}

// mkstemp creates the file only if the name is free, never through a link,
// and readable by its owner alone until it gets the permissions it keeps.
static FILE* posix_create_temp_file(const char* beside, char* path, size_t size) {
    int len = snprintf(path, size, "%s.XXXXXX", beside);
    if (len < 0 || (size_t)len >= size) return nullptr;
    int fd = mkstemp(path);
    if (fd < 0) return nullptr;
    struct stat old;
    mode_t mode = stat(beside, &old) == 0 ? (old.st_mode & MODE_BITS) : new_file_mode();
    FILE* file = fchmod(fd, mode) == 0 ? fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        close(fd);
        unlink(path);
    }
    return file;
}

// O_NONBLOCK: opening a pipe with no writer would wait for ever. Only then
// is it known what the name is, and only a regular file is read.
static int posix_open_file(const char* path, FILE** file) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return CALL_FAILED;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return NOT_A_FILE;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
        (*file = fdopen(fd, "rb")) == nullptr) {
        close(fd);
        return CALL_FAILED;
    }
    return DONE;
}

// The folder of `path`: what comes before its last separator, else ".".
static int folder_of(const char* path, char* folder, size_t size) {
    const char* last = strrchr(path, '/');
    if (last == nullptr) return snprintf(folder, size, ".") == 1 ? DONE : CALL_FAILED;
    size_t len = last == path ? 1 : (size_t)(last - path);
    if (len >= size) return CALL_FAILED;
    memcpy(folder, path, len);
    folder[len] = '\0';
    return DONE;
}

// The rename is only on the disk once the folder that holds the names is.
// A file system that cannot push a folder (EINVAL) keeps it there anyway.
static int posix_replace_file(const char* from, const char* to) {
    char folder[PATH_TEXT];
    if (folder_of(to, folder, sizeof folder) != DONE) return CALL_FAILED;
    if (rename(from, to) != 0) return CALL_FAILED;
    int fd = open(folder, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return CALL_FAILED;
    int synced = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return synced ? DONE : CALL_FAILED;
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
    posix_cls,         posix_color,           posix_is_terminal,
    posix_read_key,    posix_drop_typed_keys, posix_read_byte,
    posix_unread_byte, posix_local_time,      posix_box,
    posix_wait,        posix_print,           posix_create_temp_file,
    posix_open_file,   posix_sync_file,       posix_replace_file,
    posix_home_folder, posix_legacy_to_utf8,  '/',
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
