// The console layer: every service that differs between Windows and POSIX.
//
// The portable code calls only what is declared here. console_posix.cpp and
// console_windows.cpp implement the same functions; the build compiles one.
//
// The services a command uses while it runs (clearing, colours, the
// key-wait, the clock, the warning box, the timed wait and printing) are
// reached through a Consola, a table of function pointers, so tests can
// replace them and drive the commands without a console.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <time.h>

// The two colour schemes the program uses: "color 04" and "color 06".
enum { CONSOLE_RED = 4, CONSOLE_YELLOW = 6 };

// Results of the warning box.
enum { BOX_FAILED = 0, BOX_OK = 1, BOX_END_OF_INPUT = -1 };

// Results of the timed wait.
enum { WAIT_DONE = 0, WAIT_LEAVE = 1 };

struct Consola {
    // "cls": clears a terminal; writes one form feed when `out` is redirected.
    void (*cls)(FILE* out);
    // "color 04" / "color 06": red or yellow text on black, only on a terminal
    // and only while NO_COLOR is unset.
    void (*color)(FILE* out, int scheme);
    // "pause": prompts, waits for one key (one line from a pipe), then ends the
    // prompt's line. Returns 1, or 0 at end of input (prompt left unfinished).
    int (*pause)(FILE* in, FILE* out);
    // Current local calendar time.
    void (*local_time)(struct tm* now);
    // Modal warning box with the note's description as text and its name as
    // caption; the console box stands in where no system box can be shown.
    // Returns BOX_OK when acknowledged, BOX_FAILED when no box could be
    // shown, BOX_END_OF_INPUT when input ended while it waited.
    int (*box)(const char* text, const char* caption, FILE* in, FILE* out);
    // Waits `ms` milliseconds without using the processor. Returns WAIT_LEAVE
    // when the user pressed Enter (or ended the input) at a terminal during
    // the wait.
    int (*wait)(int ms, FILE* in);
    // Prints "ListaNotas.txt" from the working directory and waits for the
    // printing command. Returns 0 when it was handed over, -1 when it failed.
    int (*imprimir)(void);
};

// Reads up to and including the next line end. Returns 1, or 0 at end of
// input with nothing read.
int console_consume_line(FILE* in);

// The warning box drawn in the console, for where no system box can be
// shown: a frame titled with `caption`, `text` wrapped inside, and an OK
// button labelled "Aceptar" that Enter presses; `bell` rings the terminal
// bell first. Returns BOX_OK, or BOX_END_OF_INPUT when input ends.
int console_text_box(const char* text, const char* caption, FILE* in, FILE* out, int bell);

// The real services of this system.
const Consola* console_system(void);

// Remembers the terminal's state and arranges for console_restore to run on
// every way out: normal end and SIGINT, SIGTERM, SIGHUP (or console close).
void console_start(void);

// Resets colours and the terminal mode. Safe to call more than once.
void console_restore(void);

// The user name for the list footer. Never null; empty when none is known.
const char* console_user_name(void);

// Writes the import location (the user's documents folder followed by
// Kelvra's saved-notes file) into `path`, cut to `size`. Returns 0, or -1
// when no user folder is known.
int console_import_path(char* path, size_t size);

// Pushes a written file's data to the disk. Returns 0, or -1 on failure.
int console_sync_file(FILE* file);

// Puts `from` in place of `to` in one step, replacing any existing `to`.
// Returns 0, or -1 on failure (then `to` is untouched).
int console_replace_file(const char* from, const char* to);
