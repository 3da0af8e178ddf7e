// The console layer on Linux and other POSIX systems: ANSI sequences for a
// terminal's colours and clearing, termios for the single key press, poll
// for the timed wait, signals for putting the terminal back, and child
// processes for printing and for the desktop's warning box.
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
#include "utf8/utf8.h"

// Declared by unistd.h on some systems only.
extern char** environ;  // NOLINT(readability-redundant-declaration)

// What console_restore must undo. Written outside signal handlers only while
// the handlers can see a consistent value.
static volatile sig_atomic_t colour_changed = false;
static volatile sig_atomic_t terminal_changed = false;
static struct termios saved_mode;  // the mode the key-wait found
// The program started by run_program while it runs, so a signal that ends
// the program ends it too instead of leaving its window behind.
static volatile sig_atomic_t running_child = 0;
// What a stopped and continued program sets up again: the key-wait's mode
// and the colour last chosen.
static struct termios key_mode;
static const char* volatile colour_code = nullptr;

static const char kResetColour[] = "\033[0m";

enum { PATH_TEXT = 4096 };
// The temporary file of the save in progress, for on_signal to remove: a
// save cut short leaves nothing beside the notes.
static char pending_temp[PATH_TEXT];
static volatile sig_atomic_t temp_pending = false;

static int posix_is_terminal(FILE* f) {
    int fd = fileno(f);
    return fd >= 0 && isatty(fd);
}

// Only what is async-signal-safe: this also runs inside the signal handler.
static void restore_now(void) {
    if (terminal_changed) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
        terminal_changed = false;
    }
    if (colour_changed) {
        ssize_t ignored = write(STDOUT_FILENO, kResetColour, sizeof kResetColour - 1);
        (void)ignored;
        colour_changed = false;
    }
}

// Colours are only ever set at a terminal, where standard output goes out
// a line at a time and the program's last line has ended: nothing written
// is left to come after the reset.
void console_restore(void) {
    restore_now();
}

// Restore the terminal and end the running child, then die of the same
// signal so the exit status tells the parent what happened.
static void on_signal(int sig) {
    restore_now();
    if (temp_pending) unlink(pending_temp);
    if (running_child > 0) kill((pid_t)running_child, SIGTERM);
    signal(sig, SIG_DFL);
    raise(sig);
}

static void handle(int sig, void (*handler)(int)) {
    struct sigaction sa {};  // no signal held while a handler runs
    sa.sa_handler = handler;
    // A read or a wait interrupted by a stop goes on once the program is
    // continued, without an error to handle.
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
        terminal_changed = true;
    }
    // colour_code is set before colour_changed ever is.
    if (was_coloured) {
        ssize_t ignored = write(STDOUT_FILENO, colour_code, strlen(colour_code));
        (void)ignored;
        colour_changed = true;
    }
}

// The signals that end the program through on_signal.
static const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

static void ending_signals(sigset_t* set) {
    sigemptyset(set);
    for (int sig : kEndingSignals) sigaddset(set, sig);
}

// A signal ignored when the program starts (nohup, a shell's background
// job) stays ignored, as whoever started it asked.
static void handle_unless_ignored(int sig, void (*handler)(int)) {
    struct sigaction was;
    if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN) handle(sig, handler);
}

void console_start(void) {
    atexit(console_restore);
    for (int sig : kEndingSignals) handle_unless_ignored(sig, on_signal);
    handle_unless_ignored(SIGTSTP, on_stop);
}

static void posix_clear_terminal(FILE* out) {
    fputs("\033[2J\033[H", out);
}

static void posix_set_colour(FILE* out, int scheme) {
    colour_code = scheme == CONSOLE_YELLOW ? "\033[0;33;40m" : "\033[0;31;40m";
    fputs(colour_code, out);
    colour_changed = true;
}

enum {
    ESC = 0x1b,
    // More than any one key sends: a function key, Alt and a letter, a
    // four-byte character.
    KEY_BYTES = 64,
    // Tenths of a second the rest of a key may take to arrive.
    KEY_REST_TENTHS = 1
};

// One key, unechoed, with the terminal put back right after. A key press
// reaches the terminal's queue in one piece, so one read takes all of it;
// only a key that starts with ESC or ends inside a character may still be
// on its way, and what arrives of it in a moment is taken too, so none of
// it is left for the next prompt. The terminal is read itself: stdio holds
// nothing of it then, as a terminal hands over one line a read and every
// prompt before reads its whole line.
static int posix_read_terminal_key(FILE* in) {
    const int fd = fileno(in);
    struct termios mode;
    if (tcgetattr(fd, &mode) != 0) return getc(in) == EOF ? INPUT_END : DONE;
    saved_mode = mode;
    key_mode = mode;
    key_mode.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
    key_mode.c_cc[VMIN] = 1;  // and no timer, whatever VTIME holds
    terminal_changed = true;
    tcsetattr(fd, TCSANOW, &key_mode);
    char key[KEY_BYTES];
    const ssize_t got = read(fd, key, sizeof key);
    if (got > 0 && (key[0] == ESC || utf8_whole(key, (size_t)got) < (size_t)got)) {
        key_mode.c_cc[VMIN] = 0;
        key_mode.c_cc[VTIME] = KEY_REST_TENTHS;
        tcsetattr(fd, TCSANOW, &key_mode);
        while (read(fd, key, sizeof key) > 0) {
        }
    }
    tcsetattr(fd, TCSANOW, &mode);
    terminal_changed = false;
    return got > 0 ? DONE : INPUT_END;
}

static void posix_drop_typed_keys(FILE* in) {
    tcflush(fileno(in), TCIFLUSH);
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

// Starts a program found on PATH with `argv`, its standard output sent to
// /dev/null, and its standard error to `errors` unless that is null. The
// ending signals are held while it starts, so on_signal always knows it.
// Returns its pid, or 0 when it could not be started.
static pid_t start_program(char* const argv[], FILE* errors) {
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
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ) != 0) pid = 0;
    running_child = pid;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the child `pid` to end. It is forgotten while it still holds its
// pid, so on_signal can never hit another process that took the number.
// Returns its exit status, or CALL_FAILED when it did not exit normally.
static int finish_program(pid_t pid) {
    siginfo_t ended;
    waitid(P_PID, (id_t)pid, &ended, WEXITED | WNOWAIT);
    running_child = 0;
    // It has ended already: reaping it cannot wait or be interrupted.
    int how;
    if (waitpid(pid, &how, 0) != pid) return CALL_FAILED;
    return WIFEXITED(how) ? WEXITSTATUS(how) : CALL_FAILED;
}

// Runs a program to its end (see start_program). Returns its exit status, or
// CALL_FAILED when it could not be started or did not exit normally.
static int run_program(char* const argv[], FILE* errors) {
    pid_t pid = start_program(argv, errors);
    return pid == 0 ? CALL_FAILED : finish_program(pid);
}

// Nonzero when the start of the text of `f` holds `words`: what a program
// says of a failure to start comes first.
static int file_mentions(FILE* f, const char* words) {
    char start[4096];
    rewind(f);
    size_t got = fread(start, 1, sizeof start, f);
    return memmem(start, got, words, strlen(words)) != nullptr;
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
    return status == 0 || (status == 1 && !no_window) ? DONE : CALL_FAILED;
}

enum { MS_PER_SECOND = 1000, NS_PER_MS = 1000000 };

static long long now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * MS_PER_SECOND + ts.tv_nsec / NS_PER_MS;
}

// Takes the rest of the line typed at a terminal, and every further line
// already typed, so none is left over for the key-wait that follows. A
// terminal that hung up polls ready too, and its read then ends the loop.
static void take_typed_lines(FILE* in) {
    struct pollfd p = {fileno(in), POLLIN, 0};
    do {
        int c;
        while ((c = getc(in)) != EOF && c != '\n') {
        }
        if (c == EOF) return;
    } while (poll(&p, 1, 0) > 0);
}

// The wait listens to its input without taking anything a later prompt
// needs. At a terminal a line (Enter) asks to leave the mode at once. Input
// at its end, from a terminal, a pipe or a file, ends the wait at once.
// Input still waiting in a pipe or a file stays unread for the prompts that
// follow, and the wait then no longer listens but sleeps the rest of its
// time. Either way the process sleeps in the kernel.
static int posix_wait(int ms, FILE* in) {
    struct pollfd p = {fileno(in), POLLIN, 0};
    nfds_t listening = 1;
    const long long end = now_ms() + ms;
    for (long long left = ms; left > 0; left = end - now_ms()) {
        // Polling one descriptor fails only when a signal interrupts it or
        // the kernel is short of memory for a moment: either way, again.
        if (poll(&p, listening, (int)left) <= 0) continue;
        // Something to read, or the other end is gone: one character tells.
        int c = getc(in);
        if (c == EOF) return INPUT_END;
        ungetc(c, in);
        if (posix_is_terminal(in)) {
            take_typed_lines(in);
            return USER_LEFT;
        }
        listening = 0;
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

enum { NEW_FILE_MODE = 0666, PERMISSION_BITS = 0777 };

// The permissions a new file gets: everything the umask leaves of rw-rw-rw-.
static mode_t new_file_mode(void) {
    mode_t mask = umask(0);
    umask(mask);
    return (mode_t)NEW_FILE_MODE & ~mask;
}

// The old file's read, write and execute bits when it is a regular file;
// a link to a device or a folder, or a setuid bit, is nothing to copy.
static mode_t mode_to_keep(const char* beside) {
    struct stat old;
    if (stat(beside, &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & PERMISSION_BITS;
    return new_file_mode();
}

static void posix_drop_temp_file(const char* path) {
    unlink(path);
    temp_pending = false;
}

// mkstemp creates the file only if the name is free, never through a link,
// and readable by its owner alone until it gets the permissions it keeps.
// The ending signals wait while it does, so on_signal always knows its name.
static FILE* posix_create_temp_file(const char* beside, char* path, size_t size) {
    int len = snprintf(path, size, "%s.XXXXXX", beside);
    if ((size_t)len >= size) return nullptr;  // a failure (negative) too
    sigset_t ending;
    sigset_t before;
    ending_signals(&ending);
    sigprocmask(SIG_BLOCK, &ending, &before);
    int fd = mkstemp(path);
    if (fd >= 0) {
        utf8_copy(pending_temp, sizeof pending_temp, path);
        temp_pending = true;
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    FILE* file = fchmod(fd, mode_to_keep(beside)) == 0 ? fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        close(fd);
        posix_drop_temp_file(path);
    }
    return file;
}

// O_NONBLOCK: opening a pipe with no writer would wait for ever. Only then
// is it known what the name is, and only a regular file is read (on which
// O_NONBLOCK changes nothing).
static int posix_open_file(const char* path, FILE** file) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return CALL_FAILED;
    struct stat st;
    const int regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && (*file = fdopen(fd, "rb")) != nullptr) return DONE;
    close(fd);
    return regular ? CALL_FAILED : NOT_A_FILE;
}

// The rename is only on the disk once the folder that holds the names, the
// working directory, is; but once it is done the new file is in place, and
// a folder that cannot be opened or pushed (no right to list it, a file
// system that cannot) is left to the system, as careful databases do.
static int posix_replace_file(const char* from, const char* to) {
    if (rename(from, to) != 0) return CALL_FAILED;
    temp_pending = false;
    int fd = open(".", O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return DONE;
}

// A value cut to fit at a whole character. Returns DONE when all of a
// non-empty value fit.
static int copy_value(char* value, size_t size, const char* found) {
    if (found == nullptr) found = "";
    return utf8_copy(value, size, found) && found[0] != '\0' ? DONE : CALL_FAILED;
}

static int posix_env(const char* name, char* value, size_t size) {
    return copy_value(value, size, getenv(name));
}

static int posix_account_name(char* name, size_t size) {
    const struct passwd* account = getpwuid(geteuid());
    copy_value(name, size, account != nullptr ? account->pw_name : nullptr);
    return name[0] != '\0' ? DONE : CALL_FAILED;
}

// Text files here have been UTF-8 all along: any other bytes are kept.
// NOLINTNEXTLINE(readability-non-const-parameter): the slot writes on Windows.
static void posix_legacy_to_utf8(char* line, size_t size) {
    (void)line;
    (void)size;
}

// clang-format off
static const Console kSystem = {
    posix_is_terminal, posix_clear_terminal, posix_set_colour, posix_read_terminal_key,
    posix_drop_typed_keys, posix_read_byte, posix_unread_byte, posix_local_time, posix_box,
    posix_wait, posix_print, posix_create_temp_file, posix_drop_temp_file, posix_open_file,
    posix_sync_file, posix_replace_file, posix_env, posix_account_name, posix_legacy_to_utf8, '/',
};
// clang-format on

const int console_on_windows = 0;

const Console* console_system(void) {
    return &kSystem;
}
