// The console layer: the system services that differ between Windows and
// POSIX, and nothing of the program's own (no text, no file name, no rule
// about what a pipe or redirected output gets: the portable code decides).
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
    CALL_FAILED = -3,  // a file or system call failed
    NOT_A_FILE = -4,   // the name is a folder, a device or a pipe, not a file
};

// The two colour schemes the program uses: "color 04" and "color 06".
enum { CONSOLE_RED = 4, CONSOLE_YELLOW = 6 };

struct Console {
    // Nonzero when `f` is a terminal (a console on Windows).
    int (*is_terminal)(FILE* f);
    // Clears the terminal `out`.
    void (*clear_terminal)(FILE* out);
    // Red or yellow text on black at the terminal `out`.
    void (*set_colour)(FILE* out, int scheme);
    // Waits for one key press at the terminal `in`, unechoed, and takes
    // everything that one key sends. Returns DONE, or INPUT_END.
    int (*read_terminal_key)(FILE* in);
    // Forgets the keys typed at the terminal `in` and not read yet.
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
    // closing it, or CALL_FAILED when no box could be shown.
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
    // for writing in text mode. It gets the permission bits of `beside` when
    // that is a regular file, else the usual ones of a new file. Writes its
    // name into `path`; until replace_file or drop_temp_file, a signal that
    // ends the program removes it. Returns the open file, or null when none
    // could be created (then no file was left behind).
    FILE* (*create_temp_file)(const char* beside, char* path, size_t size);
    // Removes the file create_temp_file made, once it is closed.
    void (*drop_temp_file)(const char* path);
    // Opens the regular file `path` for reading in binary mode, without ever
    // waiting on it. Returns DONE with the open file in `*file`, NOT_A_FILE
    // when `path` names anything else, or CALL_FAILED when it cannot be
    // opened.
    int (*open_file)(const char* path, FILE** file);
    // Pushes a written file's data to the disk. Returns DONE, or CALL_FAILED.
    int (*sync_file)(FILE* file);
    // Puts the closed file `from` in place of `to`, both names in the working
    // directory, in one step, replacing any existing `to`, then asks the disk
    // to keep the change. Returns DONE once
    // `to` is the new file, or CALL_FAILED when `to` is untouched.
    int (*replace_file)(const char* from, const char* to);
    // Writes the environment variable `name` into `value` as UTF-8, cut to
    // `size` - 1 bytes at a whole character; empty when it is unset. Returns
    // DONE when all of a set, non-empty value fit, else CALL_FAILED.
    int (*env)(const char* name, char* value, size_t size);
    // Writes the name of the account running the program into `name`, cut
    // like env. Returns DONE, or CALL_FAILED when it is unknown.
    int (*account_name)(char* name, size_t size);
    // Where a text line read from a file is not valid UTF-8, it was written
    // in the system's older code page for text consoles: converts it to
    // UTF-8 in place, cut at a whole character to fit `size` bytes. Where
    // the system has no such code page the line is left as it is.
    void (*legacy_to_utf8)(char* line, size_t size);
    // What separates the folders of a path.
    char path_separator;
};

// 1 on Windows, 0 elsewhere: the program names the keys that end the input
// and where its manual is as this system has them.
extern const int console_on_windows;

// The real services of this system.
const Console* console_system(void);

// Remembers the terminal's state and arranges for console_restore to run on
// every way out: normal end, end of input and the signals that end a
// program (or the console's close), leaving signals ignored at start alone.
void console_start(void);

// Resets colours and the terminal mode. Safe to call more than once.
void console_restore(void);
