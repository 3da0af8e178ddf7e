// The note table, the program's only data, and the bounded readers that
// fill its cells from what is typed or from a saved file.
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
    DESCRIPTION_CELL = 200,
    ANSWER_CELL = 200  // the scratch line each typed answer goes to first
};

// The note table: three parallel columns and the count of filled rows, from
// 0 to MAX_NOTES: every command that adds a note checks for room first.
// Rows at or above `count` are never read; a new note always goes to row
// `count`.
struct Notes {
    char names[MAX_NOTES][NAME_CELL];
    char times[MAX_NOTES][TIME_CELL];
    char descriptions[MAX_NOTES][DESCRIPTION_CELL];
    int count;
};

// A saved file's text as the line reader takes it: its bytes as they are,
// or, in a file that starts with a UTF-16 byte order mark, its characters
// in UTF-8; and how many of its bytes may still be read.
struct FileText {
    long budget;
    int utf16;     // 0, or which byte of a UTF-16 unit comes first
    char held[4];  // the UTF-8 bytes of the character being handed out
    int held_next;
    int held_end;
};

// Starts reading the open file `file` from its beginning: a UTF-8 byte order
// mark is skipped, a UTF-16 one says how the rest is read, and no more than
// `budget` bytes of it are read in all.
void notes_start_file_text(FILE* file, FileText* text, long budget);

// Reads one whole line of any length: typed input through
// console_read_byte when `text` is null, else a file's text. Keeps its first
// `size` - 1 bytes in `cell` (terminated, cut as utf8_copy cuts) and drops
// the rest and the line end (LF or CR LF). Returns the line's full length
// without its line end, or INPUT_END when input ended with nothing read. A
// last line without a line end still counts.
long notes_read_line(FILE* in, char* cell, size_t size, FileText* text);

// Reads one word as scanf's "%s" does: skips blanks and line ends, then takes
// characters up to the next blank or line end. Keeps the first `size` - 1
// bytes (`size` at least 1), cut as utf8_copy cuts. The one character that
// ended the word (a CR LF pair counts as one) is taken too, as the answer
// after a word starts past it. Returns DONE, or INPUT_END when input ends
// before a word.
int notes_read_word(FILE* in, char* cell, size_t size);
