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

enum {
    C0_END = 0x20,  // C0 codes are below the blank
    DEL = 0x7F,
    C1_LEAD = 0xC2,  // U+0080 to U+009F are C2 80 to C2 9F in UTF-8
    C1_FIRST = 0x80,
    C1_LAST = 0x9F
};

static const char kStandIn[] = "?";

// A terminal takes these as commands: to move, retitle, hide what follows.
static size_t control_length(const unsigned char* text, size_t left) {
    if (text[0] < C0_END || text[0] == DEL) return 1;
    if (text[0] == C1_LEAD && left > 1 && text[1] >= C1_FIRST && text[1] <= C1_LAST) return 2;
    return 0;
}

void notes_put_text(FILE* out, const char* text, size_t len, int on_terminal) {
    if (!on_terminal) {
        fwrite(text, 1, len, out);
        return;
    }
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t start = 0;
    for (size_t k = 0; k < len;) {
        size_t control = control_length(bytes + k, len - k);
        if (control == 0) {
            k++;
            continue;
        }
        fwrite(text + start, 1, k - start, out);
        fputs(kStandIn, out);
        k += control;
        start = k;
    }
    fwrite(text + start, 1, len - start, out);
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
