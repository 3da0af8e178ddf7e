// Bounded input and cell helpers shared by every command.
#include "notes/notes.h"

#include <string.h>

void notes_copy_cell(char* cell, size_t size, const char* src) {
    if (size == 0) return;
    size_t n = 0;
    while (n + 1 < size && src[n] != '\0') {
        cell[n] = src[n];
        n++;
    }
    cell[n] = '\0';
}

static int is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The whole line is consumed even when it is longer than the cell, so the
// tail of an overlong answer can never be taken as the answer to the next
// prompt. A CR right before the LF belongs to the line end: input typed or
// saved on Windows reads the same as on POSIX.
long notes_read_line(FILE* in, char* cell, size_t size) {
    fflush(NULL);
    long len = 0;
    size_t kept = 0;
    int pending_cr = 0;
    int c;
    while ((c = getc(in)) != EOF && c != '\n') {
        if (pending_cr) {
            if (kept + 1 < size) cell[kept++] = '\r';
            len++;
        }
        pending_cr = (c == '\r');
        if (pending_cr) continue;
        if (kept + 1 < size) cell[kept++] = (char)c;
        len++;
    }
    if (pending_cr && c == EOF) {
        if (kept + 1 < size) cell[kept++] = '\r';
        len++;
    }
    if (size > 0) cell[kept] = '\0';
    if (c == EOF && len == 0) return INPUT_END;
    return len;
}

int notes_read_word(FILE* in, char* cell, size_t size) {
    fflush(NULL);
    int c;
    do {
        c = getc(in);
    } while (c != EOF && is_blank(c));
    if (c == EOF) {
        if (size > 0) cell[0] = '\0';
        return INPUT_END;
    }
    size_t kept = 0;
    while (c != EOF && !is_blank(c)) {
        if (kept + 1 < size) cell[kept++] = (char)c;
        c = getc(in);
    }
    if (size > 0) cell[kept] = '\0';
    if (c != EOF) ungetc(c, in);
    return DONE;
}

int notes_skip_char(FILE* in) {
    int c = getc(in);
    if (c == EOF) return INPUT_END;
    if (c == '\r') {
        int next = getc(in);
        if (next != '\n' && next != EOF) ungetc(next, in);
    }
    return DONE;
}
