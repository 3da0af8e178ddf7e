// Kelvra's core: the note table, the menu loop, note entry and the text
// helpers every command uses to read input and fill cells.
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
    AUX_CELL = 200,  // notAux, the scratch line of note entry
    MENU_LINE = 128  // buf, the typed menu line
};

// The note table: three parallel columns and the count of filled rows.
// Rows at or above indN are never read; a new note always goes to row indN.
struct Notas {
    char TitNot[MAX_NOTES][NAME_CELL];
    char hora[MAX_NOTES][TIME_CELL];
    char descr[MAX_NOTES][DESC_CELL];
    int indN;
};

// Outcome of a step that reads the keyboard.
enum { INPUT_OK = 1, INPUT_END = 0 };

// Copies `src` into `cell`, cut to `size` - 1 bytes and always terminated.
void copiar_celda(char* cell, size_t size, const char* src);

// Reads one whole line of any length. Keeps its first `size` - 1 bytes in
// `cell` (terminated) and drops the rest and the line end (LF or CR LF).
// Returns the line's full length without its line end, or -1 at end of input
// with nothing read. A last line without a line end still counts as a line.
long text_read_line(FILE* in, char* cell, size_t size);

// Reads one word as scanf's "%s" does: skips blanks and line ends, then takes
// characters up to the next blank or line end, which stays unread. Keeps the
// first `size` - 1 bytes. Returns INPUT_OK, or INPUT_END when input ends first.
int text_read_word(FILE* in, char* cell, size_t size);

// Discards one character: the line end left by text_read_word (a CR LF pair
// counts as one). Returns INPUT_OK, or INPUT_END when input has ended.
int text_skip_char(FILE* in);

// Option 1: asks for a name, a time and a description and appends the note.
// Refuses with one line when the table is full. Returns INPUT_END when input
// ended before the note was complete; the note is then not added.
int agregar_nota(FILE* in, FILE* out, Notas* notas);

// The menu loop: greets, then runs menu cycles until input ends. `users` is
// the name for the list footer.
void menu_run(FILE* in, FILE* out, const Consola* con, Notas* notas, const char* users);
