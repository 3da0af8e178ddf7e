// The note table, the program's only data, and what every command shares:
// the bounded helpers that read input and fill cells, and the rules for the
// screen, the keyboard and the environment, the same on every system.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "console/console.h"
#include "utf8/utf8.h"

// Sizes of the table and its cells, terminator included.
enum {
    MAX_NOTES = 10,
    NAME_CELL = 100,
    TIME_CELL = 100,
    DESC_CELL = 200,
    AUX_CELL = 200  // notAux, the scratch line of note entry
};

// The note table: three parallel columns and the count of filled rows, from
// 0 to MAX_NOTES: every command that adds a note checks for room first.
// Rows at or above indN are never read; a new note always goes to row indN.
struct Notes {
    char TitNot[MAX_NOTES][NAME_CELL];
    char hora[MAX_NOTES][TIME_CELL];
    char descr[MAX_NOTES][DESC_CELL];
    int indN;
};

// Reads one whole line of any length through con->read_byte. Keeps its first
// `size` - 1 bytes in `cell` (terminated, cut as utf8_copy cuts) and
// drops the rest and the line end (LF or CR LF). Returns the line's full
// length without its line end, or INPUT_END when input ended with nothing
// read. A last line without a line end still counts.
long notes_read_line(FILE* in, const Console* con, char* cell, size_t size);

// notes_read_line, reading at most `*budget` bytes in all: each byte read
// is taken off it, and once it is spent the input counts as ended.
long notes_read_line_within(FILE* in, const Console* con, char* cell, size_t size, long* budget);

// Reads one word as scanf's "%s" does: skips blanks and line ends, then takes
// characters up to the next blank or line end, which stays unread. Keeps the
// first `size` - 1 bytes (`size` at least 1), cut as utf8_copy cuts. Returns
// DONE, or INPUT_END when input ends first.
int notes_read_word(FILE* in, const Console* con, char* cell, size_t size);

// Discards one character: the line end left by notes_read_word (a CR LF pair
// counts as one). Returns DONE, or INPUT_END when input has ended.
int notes_skip_char(FILE* in, const Console* con);

// Writes the first `len` bytes of a note's text to `out`. On a terminal each
// control character (C0, DEL and the UTF-8 encoded U+0080 to U+009F) goes
// out as "?", so a note is shown and never obeyed; anywhere else the bytes
// go out as they are. Write errors are left on `out` for ferror.
void notes_put_text(FILE* out, const char* text, size_t len, int on_terminal);

// Clears a terminal; redirected output gets one form feed instead.
void notes_clear_screen(FILE* out, const Console* con);

// Red or yellow text on black, only at a terminal and only while NO_COLOR
// is unset or empty.
void notes_set_colour(FILE* out, const Console* con, int scheme);

// "pause": one key press at a terminal, one line from a pipe or a file.
// Returns DONE, or INPUT_END.
int notes_key_wait(FILE* in, const Console* con);

// The user's name for the list footer: USERNAME, USER or LOGNAME, the first
// one set, else the account's name; cut to `size`, empty when none is known.
void notes_user_name(const Console* con, char* name, size_t size);

// The user's own folder: USERPROFILE, else HOME. Returns DONE, or
// CALL_FAILED when neither is set or the one set does not fit in `size`.
int notes_home_folder(const Console* con, char* path, size_t size);
