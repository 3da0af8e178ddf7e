// What the user's screen and keyboard get, decided once for both systems:
// every byte the program writes goes out through terminal_write, a note's
// text is shown and never obeyed, clearing and colours reach a terminal
// only, and the key-wait takes one key there and one line from a pipe or a
// file.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// The one way out for every byte the program writes, to the screen and to
// its files: at a console the system's own text call, elsewhere the bytes
// as they are (console_write). A failure is left for console_finish_output,
// or ferror on a file, to tell.
void terminal_write(FILE* out, const char* text, size_t len);

// terminal_write of the whole of `text`.
void terminal_put(FILE* out, const char* text);

// Writes the first `len` bytes of a note's text. On a terminal each control
// character (C0, DEL and the UTF-8 encoded U+0080 to U+009F) goes out as
// "?", so a note is shown and never obeyed; anywhere else the bytes go out
// as they are.
void terminal_put_note(FILE* out, const char* text, size_t len, int on_terminal);

// One line telling the user what happened to a file: `what`, then its
// `name`, which may hold the user's folder and so is shown as a note is.
void terminal_report(FILE* out, const char* what, const char* name);

// Clears a terminal; redirected output gets one form feed instead.
void terminal_clear(FILE* out);

// Red or yellow text on black, only at a terminal and only while NO_COLOR
// is unset or empty.
void terminal_set_colour(FILE* out, int scheme);

// "pause": one key press at a terminal, one line from a pipe or a file.
// Returns DONE, or INPUT_END.
int terminal_key_wait(FILE* in);
