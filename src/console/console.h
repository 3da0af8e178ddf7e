// The console layer: the system services that differ between Windows and
// POSIX, and nothing of the program's own (no text, no file name, no rule
// about what a pipe or redirected output gets: the portable code decides).
//
// The portable code calls only what is declared here. console_posix.cpp and
// console_windows.cpp implement the same functions; the build compiles one.
// The services a test or the fuzzer replaces (the clock, the box, the wait,
// printing) are reached through the slots of a Console (console.cpp); the
// rest are plain functions.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <time.h>

#include "result/result.h"

// The two colour schemes the program uses: "color 04" and "color 06".
enum { CONSOLE_RED = 4, CONSOLE_YELLOW = 6 };

// Current local calendar time.
void console_local_time(struct tm* now);

// The desktop's modal warning box, `text` as its text and `caption` as its
// title, with one OK button. Returns DONE once acknowledged, with OK or by
// closing it, or CALL_FAILED when no box could be shown.
int console_box(const char* text, const char* caption);

// Waits `ms` milliseconds without using the processor, leaving unread
// whatever input later prompts need. Returns INPUT_END at once when input
// has ended (a terminal, a pipe or a file), USER_LEFT at once when the user
// pressed Enter at a terminal, DONE once the time is over.
int console_wait(int ms, FILE* in);

// Hands the text file `path` to the system's printing command, started by
// its full path or from the user's PATH, never from the working directory,
// and waits for it. Returns DONE, or CALL_FAILED.
int console_print(const char* path);

// The services above, as the commands call them: a test or the fuzzer hands
// them a Console of its own with some of them replaced.
struct Console {
    void (*local_time)(struct tm* now);
    int (*box)(const char* text, const char* caption);
    int (*wait)(int ms, FILE* in);
    int (*print)(const char* path);
};

// The real services of this system.
const Console* console_system(void);

// 1 on Windows, 0 elsewhere: the program names the keys that end the input
// and where its manual is as this system has them.
extern const int console_on_windows;

// What separates the folders of a path.
extern const char console_path_separator;

// Remembers the terminal's state, puts it in line mode with echo for the
// prompts whatever mode another program left it in, and arranges for
// console_restore to run on every way out: normal end, end of input and the
// signals that end a program (or the console's close), leaving signals
// ignored at start alone.
void console_start(void);

// Puts the terminal's mode and colours back as console_start found them.
// Safe to call more than once.
void console_restore(void);

// Writes `len` bytes of UTF-8 text to `out`: at a console as the system
// wants it shown, anywhere else (a pipe, a file) the bytes as they are.
// Returns DONE, or CALL_FAILED when they could not all be written.
int console_write(FILE* out, const char* text, size_t len);

// Pushes out what is held for `out`. Returns DONE when everything written to
// it arrived, or CALL_FAILED when any of it was lost.
int console_finish_output(FILE* out);

// Nonzero when `f` is a terminal (a console on Windows).
int console_is_terminal(FILE* f);

// Clears the terminal `out`, after what was written to it before.
void console_clear(FILE* out);

// Red or yellow text on black at the terminal `out`, from here on.
void console_set_colour(FILE* out, int scheme);

// Waits for one key press at the terminal `in`, unechoed, and takes what
// that key sends and whatever arrives with it or within a moment of it (the
// rest of a paste, a key repeating), so none of it reaches the next prompt.
// Returns DONE, or INPUT_END.
int console_read_key(FILE* in);

// Forgets the keys typed at the terminal `in` and not read yet.
void console_drop_typed_keys(FILE* in);

// The next byte of `in`, as getc gives it, or EOF. Typed text comes as UTF-8
// whatever the console's own code page; a pipe or a file gives its bytes as
// they are.
int console_read_byte(FILE* in);

// Gives back the byte `c` that console_read_byte just gave, as ungetc does.
void console_unread_byte(int c, FILE* in);

// Creates a new file of its own beside `beside`, named `beside` and a unique
// ending, exclusively and without following links, and opens it for writing
// in text mode. It gets the permission bits of `beside` when that is a
// regular file, else the usual ones of a new file. Until
// console_replace_file, a signal that ends the program removes it. Returns
// the open file, or null when none could be created (then no file was left
// behind).
FILE* console_create_temp_file(const char* beside);

// Closes the file console_create_temp_file opened and, when `written` is
// DONE, pushes it to the disk and puts it in place of `to` (a name in the
// working directory) in one step, then asks the disk to keep the change.
// Returns DONE once `to` is the new file; otherwise the new file is removed
// and `to` is untouched: CALL_FAILED.
int console_replace_file(FILE* file, const char* to, int written);

// Opens the regular file `path` for reading in binary mode, without ever
// waiting on it. Returns DONE with the open file in `*file`, NOT_A_FILE when
// `path` names anything else, or CALL_FAILED when it cannot be opened.
int console_open_file(const char* path, FILE** file);

// Writes the environment variable `name` into `value` as UTF-8, cut to
// `size` - 1 bytes at a whole character; empty when it is unset. Returns
// DONE when all of a set, non-empty value fit, else CALL_FAILED.
int console_env(const char* name, char* value, size_t size);

// Writes the name of the account running the program into `name`, cut like
// console_env. Returns DONE, or CALL_FAILED when it is unknown.
int console_account_name(char* name, size_t size);

// Where a text line read from a file is not valid UTF-8, it was written in
// the system's older code page for text consoles: converts it to UTF-8 in
// place, cut at a whole character to fit `size` bytes. Where the system has
// no such code page the line is left as it is.
void console_legacy_to_utf8(char* line, size_t size);
