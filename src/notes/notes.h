// The note table, the program's only data, and the bounded text helpers
// every command uses to read input and fill its cells.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "console/console.h"

// Sizes of the table and its cells, terminator included.
enum {
    MAX_NOTES = 10,
    NAME_CELL = 100,
    TIME_CELL = 100,
    DESC_CELL = 200,
    AUX_CELL = 200  // notAux, the scratch line of note entry
};

// The note table: three parallel columns and the count of filled rows.
// Rows at or above indN are never read; a new note always goes to row indN.
struct Notes {
    char TitNot[MAX_NOTES][NAME_CELL];
    char hora[MAX_NOTES][TIME_CELL];
    char descr[MAX_NOTES][DESC_CELL];
    int indN;
};

// Copies `src` into `cell`, cut to `size` - 1 bytes and always terminated.
// A cut never splits a UTF-8 character: it goes back to the start of the
// last whole one. Bytes that are not UTF-8 are kept as they are.
void notes_copy_cell(char* cell, size_t size, const char* src);

// Reads one whole line of any length through con->read_byte. Keeps its first
// `size` - 1 bytes in `cell` (terminated, cut as notes_copy_cell cuts) and
// drops the rest and the line end (LF or CR LF). Returns the line's full
// length without its line end, or INPUT_END when input ended with nothing
// read. A last line without a line end still counts.
long notes_read_line(FILE* in, const Console* con, char* cell, size_t size);

// Reads one word as scanf's "%s" does: skips blanks and line ends, then takes
// characters up to the next blank or line end, which stays unread. Keeps the
// first `size` - 1 bytes, cut as notes_copy_cell cuts. Returns DONE, or
// INPUT_END when input ends first.
int notes_read_word(FILE* in, const Console* con, char* cell, size_t size);

// Discards one character: the line end left by notes_read_word (a CR LF pair
// counts as one). Returns DONE, or INPUT_END when input has ended.
int notes_skip_char(FILE* in, const Console* con);

// Writes the first `len` bytes of a note's text to `out`. On a terminal each
// control character (C0, DEL and the UTF-8 encoded U+0080 to U+009F) goes
// out as "?", so a note is shown and never obeyed; anywhere else the bytes
// go out as they are. Write errors are left on `out` for ferror.
void notes_put_text(FILE* out, const char* text, size_t len, int on_terminal);
