// What a UTF-8 character is, for every part of the program: the text it
// keeps, shows and reads is UTF-8 on every system, and each rule about its
// bytes lives here and nowhere else. Includes nothing of the program.
#pragma once

#include <stddef.h>

// The bytes a character starting with `lead` takes, itself included: 2 to 4
// for a lead byte (C2 to F4), else 1. A byte that cannot start a character
// (ASCII, a tail byte, C0, C1, F5 and up) is a character of its own.
size_t utf8_length(unsigned char lead);

// Nonzero for a byte that carries on a character (10xxxxxx).
int utf8_is_tail(unsigned char c);

// How many of the first `len` bytes of `text` end on a whole character: a
// cut after `len` bytes goes back to the start of a character it would
// split. Equal to `len` when the run ends whole.
size_t utf8_whole(const char* text, size_t len);

// Copies `src` into `cell` (`size` at least 1), cut to `size` - 1 bytes and
// always terminated.
// A cut never splits a character: it goes back to the start of the last
// whole one. Returns nonzero when all of `src` fit.
int utf8_copy(char* cell, size_t size, const char* src);

// Nonzero for a UTF-16 unit that makes a character only with the unit after
// it (a high surrogate, D800 to DBFF).
int utf8_utf16_needs_pair(long unit);

// Writes to `out`, which has room for 4 bytes, the UTF-8 form of the
// character of the UTF-16 unit `unit`, with `low` after it when `unit` needs
// a pair. A unit that makes no character (a surrogate out of its pair)
// stands for U+FFFD. Returns the bytes written, 1 to 4.
size_t utf8_from_utf16(long unit, long low, char* out);

// Terminal columns of the first `len` bytes of `text`: one for each byte
// that is not a tail byte.
size_t utf8_columns(const char* text, size_t len);

// The bytes of the control character at the start of `text` (`left` bytes
// long): 1 for C0 and DEL, 2 for U+0080 to U+009F (C2 80 to C2 9F), 0 when
// it is no control character. A terminal would obey them as commands.
size_t utf8_control_length(const char* text, size_t left);
