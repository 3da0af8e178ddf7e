// The console layer: the system services that differ between Windows and
// POSIX, and nothing of the program's own (no text, no file name).
//
// The portable code calls only what is declared here. console_posix.cpp and
// console_windows.cpp implement the same functions; the build compiles one.
//
// Every service a command uses while it runs is a slot of a Console, a table
// of function pointers, so tests can replace any of them (make a disk push
// fail, say) and drive the commands without a console. Only what main calls
// once is a free function.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <time.h>

// Results, the same in every folder: 0 when done, a negative value when
// something ended or failed. A positive value is only ever a count.
enum {
    DONE = 0,
    INPUT_END = -1,    // standard input ended
    USER_LEFT = -2,    // the user asked to leave (Enter during a wait)
    BOX_FAILED = -3,   // a box did not answer OK
    CALL_FAILED = -4,  // a file or system call failed
    NOT_A_FILE = -5,   // the name is a folder, a device or a pipe, not a file
};

// The two colour schemes the program uses: "color 04" and "color 06".
enum { CONSOLE_RED = 4, CONSOLE_YELLOW = 6 };

struct Console {
    // Clears a terminal; writes one form feed when `out` is redirected.
    void (*cls)(FILE* out);
    // Red or yellow text on black, only on a terminal and only while
    // NO_COLOR is unset.
    void (*color)(FILE* out, int scheme);
    // Nonzero when `f` is a terminal (a console on Windows).
    int (*is_terminal)(FILE* f);
    // Waits for one key press, unechoed; from a pipe, for one line. Returns
    // DONE, or INPUT_END.
    int (*read_key)(FILE* in);
    // Forgets the keys typed at a terminal and not read yet.
    void (*drop_typed_keys)(FILE* in);
    // The next byte of `in`, as getc gives it, or EOF. Typed text comes as
    // UTF-8 whatever the console's own code page; a pipe or a file gives its
    // bytes as they are.
    int (*read_byte)(FILE* in);
    // Gives back the byte `c` that read_byte just gave, as ungetc does.
    void (*unread_byte)(int c, FILE* in);
    // Current local calendar time.
    void (*local_time)(struct tm* now);
    // The desktop's modal warning box, `text` as its text and `caption` as its
    // title, with one OK button. Returns DONE once acknowledged, with OK or by
    // closing it; BOX_FAILED when it came up but answered otherwise;
    // CALL_FAILED when no box could be shown (the caller then draws one in
    // the console).
    int (*box)(const char* text, const char* caption);
    // Waits `ms` milliseconds without using the processor, leaving unread
    // whatever input later prompts need. Returns INPUT_END at once when
    // input has ended (a terminal, a pipe or a file), USER_LEFT at once when
    // the user pressed Enter at a terminal, DONE once the time is over.
    int (*wait)(int ms, FILE* in);
    // Hands the text file `path` to the system's printing command and waits
    // for it. Returns DONE, or CALL_FAILED.
    int (*print)(const char* path);
    // Creates a new file of its own beside `beside`, named `beside` and a
    // unique ending, exclusively and without following links, and opens it
    // for writing in text mode. It gets the permissions of `beside` when that
    // exists, else the usual ones of a new file. Writes its name into `path`.
    // Returns the open file, or null when none could be created (then no file
    // was left behind).
    FILE* (*create_temp_file)(const char* beside, char* path, size_t size);
    // Opens the regular file `path` for reading in binary mode, without ever
    // waiting on it. Returns DONE with the open file in `*file`, NOT_A_FILE
    // when `path` names anything else, or CALL_FAILED when it cannot be
    // opened.
    int (*open_file)(const char* path, FILE** file);
    // Pushes a written file's data to the disk. Returns DONE, or CALL_FAILED.
    int (*sync_file)(FILE* file);
    // Puts `from` in place of `to` in one step, replacing any existing `to`,
    // and pushes the change of folder to the disk. Returns DONE, or
    // CALL_FAILED (then either `to` is untouched or the new `to` may not be
    // on the disk yet).
    int (*replace_file)(const char* from, const char* to);
    // Writes the user's own folder into `path`. Returns DONE, or CALL_FAILED
    // when none is known or it does not fit in `size` bytes.
    int (*home_folder)(char* path, size_t size);
    // Where a text line read from a file is not valid UTF-8, it was written
    // in the system's older code page for text consoles: converts it to
    // UTF-8 in place, cut at a whole character to fit `size` bytes. Where
    // the system has no such code page the line is left as it is.
    void (*legacy_to_utf8)(char* line, size_t size);
    // What separates the folders of a path.
    char path_separator;
};

// The real services of this system.
const Console* console_system(void);

// Remembers the terminal's state and arranges for console_restore to run on
// every way out: normal end and SIGINT, SIGTERM, SIGHUP (or console close).
void console_start(void);

// Resets colours and the terminal mode. Safe to call more than once.
void console_restore(void);

// The name of the user at the keyboard. Never null; empty when none is known.
const char* console_user_name(void);
