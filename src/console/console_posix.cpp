// The console layer on Linux and other POSIX systems: ANSI sequences for a
// terminal's colours and clearing, termios for its modes, poll for the timed
// wait, signals for putting the terminal back, and child processes for
// printing and for the desktop's warning box.
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

// The terminal's modes: as the program found it, whole lines echoed for the
// prompts, and one key unechoed for the key-wait. The one in use is what
// console_restore undoes and what a stopped and continued program sets up
// again; like the colour, it is written outside signal handlers only while
// the handlers can see a consistent value.
enum { AS_FOUND, LINE_MODE, KEY_MODE };
static struct termios modes[3];
static volatile sig_atomic_t mode_in_use = AS_FOUND;
static const char* volatile colour_in_use = nullptr;  // null while none was set
// The program run_program started, while it runs, so a signal that ends the
// program ends it too instead of leaving its window behind.
static volatile sig_atomic_t running_child = 0;

static const char kResetColour[] = "\033[0m";

enum { PATH_TEXT = 4096 };
// The temporary file of the save in progress, for on_signal to remove: a
// save cut short leaves nothing beside the notes.
static char pending_temp[PATH_TEXT];
static volatile sig_atomic_t temp_pending = false;

int console_is_terminal(FILE* f) {
    int fd = fileno(f);
    return fd >= 0 && isatty(fd);
}

static void set_mode(int mode) {
    mode_in_use = mode;
    tcsetattr(STDIN_FILENO, TCSANOW, &modes[mode]);
}

// Only what is async-signal-safe: this also runs inside the signal handlers.
// Colours are only ever set at a terminal, where standard output goes out a
// line at a time and the program's last line has ended: nothing written is
// left to come after the reset.
void console_restore(void) {
    if (mode_in_use != AS_FOUND) set_mode(AS_FOUND);
    if (colour_in_use != nullptr) {
        ssize_t ignored = write(STDOUT_FILENO, kResetColour, sizeof kResetColour - 1);
        (void)ignored;
        colour_in_use = nullptr;
    }
}

// Restore the terminal and end the running child, then die of the same
// signal so the exit status tells the parent what happened.
static void on_signal(int sig) {
    console_restore();
    if (temp_pending) unlink(pending_temp);
    if (running_child > 0) kill((pid_t)running_child, SIGTERM);
    raise(sig);
}

// Each handler puts the signal's own action back as it starts, so raising
// the signal again does what it would have done. A read or a wait
// interrupted by a stop goes on once the program is continued, without an
// error to handle.
static void handle(int sig, void (*handler)(int), int flags) {
    struct sigaction sa {};  // no other signal held while a handler runs
    sa.sa_handler = handler;
    sa.sa_flags = SA_RESTART | SA_RESETHAND | flags;
    sigaction(sig, &sa, nullptr);
}

// Ctrl-Z stops at once, inside its handler.
enum { STOP_FLAGS = SA_NODEFER };

// Ctrl-Z: give the shell back its terminal as it was, stop, and once
// continued set up again what was in use, so a key-wait in progress still
// takes one key unechoed.
static void on_stop(int sig) {
    const int mode = mode_in_use;
    const char* colour = colour_in_use;
    console_restore();
    raise(sig);
    // Continued.
    handle(sig, on_stop, STOP_FLAGS);
    if (mode != AS_FOUND) set_mode(mode);
    if (colour != nullptr) {
        ssize_t ignored = write(STDOUT_FILENO, colour, strlen(colour));
        (void)ignored;
        colour_in_use = colour;
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
static void handle_unless_ignored(int sig, void (*handler)(int), int flags) {
    struct sigaction was;
    if (sigaction(sig, nullptr, &was) == 0 && was.sa_handler != SIG_IGN)
        handle(sig, handler, flags);
}

// A program that crashed may have left the terminal unechoed, or handing
// over each byte at once, or none until a timer runs out: the prompts get
// whole lines, echoed, ended by Enter, with Ctrl-C and the like at work.
void console_start(void) {
    if (tcgetattr(STDIN_FILENO, &modes[AS_FOUND]) == 0) {
        struct termios& line = modes[LINE_MODE] = modes[AS_FOUND];
        line.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG;
        line.c_iflag = (line.c_iflag | ICRNL) & ~(tcflag_t)(INLCR | IGNCR);
        line.c_oflag |= OPOST | ONLCR;
        struct termios& key = modes[KEY_MODE] = line;
        key.c_lflag &= ~(tcflag_t)(ICANON | ECHO);
        // A read waits for a byte and returns with it, whatever timer
        // another program left (with VMIN 1 it only starts after a byte).
        key.c_cc[VMIN] = 1;
        set_mode(LINE_MODE);
    }
    atexit(console_restore);
    for (int sig : kEndingSignals) handle_unless_ignored(sig, on_signal, 0);
    handle_unless_ignored(SIGTSTP, on_stop, STOP_FLAGS);
}

int console_write(FILE* out, const char* text, size_t len) {
    return fwrite(text, 1, len, out) == len ? DONE : CALL_FAILED;
}

int console_finish_output(FILE* out) {
    return fflush(out) == 0 && !ferror(out) ? DONE : CALL_FAILED;
}

void console_clear(FILE* out) {
    static const char kClear[] = "\033[2J\033[H";
    console_write(out, kClear, sizeof kClear - 1);
}

void console_set_colour(FILE* out, int scheme) {
    const char* colour = scheme == CONSOLE_YELLOW ? "\033[0;33;40m" : "\033[0;31;40m";
    console_write(out, colour, strlen(colour));
    colour_in_use = colour;
}

enum { MS_PER_SECOND = 1000, NS_PER_MS = 1000000 };

static long long now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * MS_PER_SECOND + ts.tv_nsec / NS_PER_MS;
}

enum {
    KEY_BYTES = 4096,
    // A key's bytes, a paste or a key repeating are taken while they keep
    // coming this close together, and for this long at most after the first.
    KEY_GAP_MS = 50,
    KEY_TAKES_MS = 200
};

// A key press reaches the terminal's queue in one piece, but a key that
// starts with ESC, a paste or a key held down may still be on its way: what
// follows closely is taken too, for a fixed time at most, so a key that
// keeps repeating cannot hold the wait. The terminal is read itself: stdio
// holds nothing of it then, as a terminal hands over one line a read and
// every prompt before reads its whole line.
int console_read_key(FILE* in) {
    if (mode_in_use != LINE_MODE) return getc(in) == EOF ? INPUT_END : DONE;
    set_mode(KEY_MODE);
    char key[KEY_BYTES];
    struct pollfd p = {fileno(in), POLLIN, 0};
    const ssize_t got = read(p.fd, key, sizeof key);
    const long long end = now_ms() + KEY_TAKES_MS;
    for (long long left = KEY_TAKES_MS; got > 0 && left > 0; left = end - now_ms()) {
        if (poll(&p, 1, (int)(left < KEY_GAP_MS ? left : (long long)KEY_GAP_MS)) <= 0) break;
        if (read(p.fd, key, sizeof key) <= 0) break;
    }
    set_mode(LINE_MODE);
    return got > 0 ? DONE : INPUT_END;
}

void console_drop_typed_keys(FILE* in) { tcflush(fileno(in), TCIFLUSH); }

// The terminal already speaks UTF-8 to the program: its bytes go as they are.
int console_read_byte(FILE* in) { return getc(in); }

void console_unread_byte(int c, FILE* in) { ungetc(c, in); }

// A clock that cannot be read shows midnight rather than whatever the
// caller's memory held.
void console_local_time(struct tm* now) {
    time_t t = time(nullptr);
    if (localtime_r(&t, now) == nullptr) memset(now, 0, sizeof *now);
}

// Runs a program found on PATH with `argv` to its end, its standard output
// sent to /dev/null and its standard error to `errors` unless that is null.
// The ending signals are held while it starts, so on_signal always knows it;
// and it is forgotten while it still holds its pid, so on_signal can never
// hit another process that took the number. Returns its exit status, or
// CALL_FAILED when it could not be started or did not exit normally.
static int run_program(const char* const argv[], FILE* errors) {
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
    const int failed =
        posix_spawnp(&pid, argv[0], &actions, &attributes, const_cast<char* const*>(argv), environ);
    running_child = failed ? 0 : pid;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return CALL_FAILED;
    siginfo_t ended;
    waitid(P_PID, (id_t)pid, &ended, WEXITED | WNOWAIT);
    running_child = 0;
    // It has ended already: reaping it cannot wait or be interrupted.
    int how;
    if (waitpid(pid, &how, 0) != pid) return CALL_FAILED;
    return WIFEXITED(how) ? WEXITSTATUS(how) : CALL_FAILED;
}

// Nonzero when the start of the text of `f` holds `words`: what a program
// says of a failure to start comes first.
static int file_mentions(FILE* f, const char* words) {
    char start[4096];
    rewind(f);
    size_t got = fread(start, 1, sizeof start, f);
    return memmem(start, got, words, strlen(words)) != nullptr;
}

static int is_set(const char* name) {
    const char* value = getenv(name);
    return value != nullptr && value[0] != '\0';
}

// On a desktop the box is zenity's warning dialog. The texts go to it as
// separate arguments, never through a shell, so nothing the user typed is
// interpreted. zenity answers 0 for OK and 1 when the box was closed (Esc or
// its close button), which acknowledges it too; but it also answers 1 when
// its window could not be opened, and then its standard error says so. That
// is kept from the user's terminal and read here. Any other answer, or no
// way to read what it said, counts as no box shown.
int console_box(const char* text, const char* caption) {
    if (!is_set("DISPLAY") && !is_set("WAYLAND_DISPLAY")) return CALL_FAILED;
    char title[sizeof "--title=" + 256];
    char body[sizeof "--text=" + 512];
    snprintf(title, sizeof title, "--title=%s", caption);
    snprintf(body, sizeof body, "--text=%s", text);
    const char* const argv[] = {"zenity", "--warning", "--no-markup", title, body, nullptr};
    FILE* said = tmpfile();
    if (said == nullptr) return CALL_FAILED;
    int status = run_program(argv, said);
    int no_window = file_mentions(said, "cannot open display");
    fclose(said);
    return status == 0 || (status == 1 && !no_window) ? DONE : CALL_FAILED;
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
int console_wait(int ms, FILE* in) {
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
        if (console_is_terminal(in)) {
            take_typed_lines(in);
            return USER_LEFT;
        }
        listening = 0;
    }
    return DONE;
}

// The file goes to the standard print command, on the user's own PATH; its
// "request id" chatter is dropped so success stays silent.
int console_print(const char* path) {
    const char* const argv[] = {"lp", path, nullptr};
    return run_program(argv, nullptr) == 0 ? DONE : CALL_FAILED;
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

static void drop_temp_file(void) {
    unlink(pending_temp);
    temp_pending = false;
}

// mkstemp creates the file only if the name is free, never through a link,
// and readable by its owner alone until it gets the permissions it keeps.
// The ending signals wait while it does, so on_signal always knows its name.
FILE* console_create_temp_file(const char* beside) {
    sigset_t ending;
    sigset_t before;
    ending_signals(&ending);
    sigprocmask(SIG_BLOCK, &ending, &before);
    const int len = snprintf(pending_temp, sizeof pending_temp, "%s.XXXXXX", beside);
    // A failure (negative) is past any size too.
    const int fd = (size_t)len < sizeof pending_temp ? mkstemp(pending_temp) : -1;
    temp_pending = fd >= 0;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) return nullptr;
    FILE* file = fchmod(fd, mode_to_keep(beside)) == 0 ? fdopen(fd, "w") : nullptr;
    if (file == nullptr) {
        close(fd);
        drop_temp_file();
    }
    return file;
}

// O_NONBLOCK: opening a pipe with no writer would wait for ever. Only then
// is it known what the name is, and only a regular file is read (on which
// O_NONBLOCK changes nothing).
int console_open_file(const char* path, FILE** file) {
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
int console_replace_file(FILE* file, const char* to, int written) {
    const bool pushed = written == DONE && fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (fclose(file) != 0 || !pushed || rename(pending_temp, to) != 0) {
        drop_temp_file();
        return CALL_FAILED;
    }
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

int console_env(const char* name, char* value, size_t size) {
    return copy_value(value, size, getenv(name));
}

int console_account_name(char* name, size_t size) {
    const struct passwd* account = getpwuid(geteuid());
    return copy_value(name, size, account != nullptr ? account->pw_name : nullptr);
}

// Text files here have been UTF-8 all along: any other bytes are kept.
void console_legacy_to_utf8(char* /*line*/, size_t /*size*/) {}

const int console_on_windows = 0;
const char console_path_separator = '/';
