// Bounded input and cell helpers shared by every command.
#include "notes/notes.h"

#include <string.h>

// A UTF-8 character is a lead byte (11xxxxxx) and the tail bytes (10xxxxxx)
// its high bits ask for: 110xxxxx one, 1110xxxx two, 11110xxx three.
enum {
    UTF8_TAIL_MASK = 0xC0,
    UTF8_TAIL = 0x80,
    UTF8_LEAD_2 = 0xC2,
    UTF8_LEAD_3 = 0xE0,
    UTF8_LEAD_4 = 0xF0,
    UTF8_LEAD_END = 0xF5,
    UTF8_LONGEST = 4
};

static size_t utf8_length_of_lead(unsigned char lead) {
    if (lead >= UTF8_LEAD_2 && lead < UTF8_LEAD_3) return 2;
    if (lead >= UTF8_LEAD_3 && lead < UTF8_LEAD_4) return 3;
    if (lead >= UTF8_LEAD_4 && lead < UTF8_LEAD_END) return 4;
    return 1;
}

// Bytes of the first `len` of `text` that end on a whole character: a cut
// after `len` bytes goes back to the start of a character it would split.
// Bytes that are not UTF-8 are whole characters of their own.
static size_t whole_characters(const char* text, size_t len) {
    size_t tail = 0;
    while (tail < len && tail + 1 < UTF8_LONGEST &&
           ((unsigned char)text[len - 1 - tail] & UTF8_TAIL_MASK) == UTF8_TAIL)
        tail++;
    if (tail == len) return len;
    size_t lead = len - 1 - tail;
    size_t wanted = utf8_length_of_lead((unsigned char)text[lead]);
    return (wanted > 1 && tail + 1 < wanted) ? lead : len;
}

void notes_copy_cell(char* cell, size_t size, const char* src) {
    if (size == 0) return;
    size_t n = 0;
    while (n + 1 < size && src[n] != '\0') {
        cell[n] = src[n];
        n++;
    }
    if (src[n] != '\0') n = whole_characters(cell, n);
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
long notes_read_line(FILE* in, const Console* con, char* cell, size_t size) {
    fflush(NULL);
    long len = 0;
    size_t kept = 0;
    int pending_cr = 0;
    int c;
    while ((c = con->read_byte(in)) != EOF && c != '\n') {
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
    if (len > (long)kept && kept > 0) kept = whole_characters(cell, kept);
    if (size > 0) cell[kept] = '\0';
    if (c == EOF && len == 0) return INPUT_END;
    return len;
}

int notes_read_word(FILE* in, const Console* con, char* cell, size_t size) {
    fflush(NULL);
    int c;
    do {
        c = con->read_byte(in);
    } while (c != EOF && is_blank(c));
    if (c == EOF) {
        if (size > 0) cell[0] = '\0';
        return INPUT_END;
    }
    size_t kept = 0;
    int cut = 0;
    while (c != EOF && !is_blank(c)) {
        if (kept + 1 < size) {
            cell[kept++] = (char)c;
        } else {
            cut = 1;
        }
        c = con->read_byte(in);
    }
    if (cut) kept = whole_characters(cell, kept);
    if (size > 0) cell[kept] = '\0';
    if (c != EOF) con->unread_byte(c, in);
    return DONE;
}

int notes_skip_char(FILE* in, const Console* con) {
    int c = con->read_byte(in);
    if (c == EOF) return INPUT_END;
    if (c == '\r') {
        int next = con->read_byte(in);
        if (next != '\n' && next != EOF) con->unread_byte(next, in);
    }
    return DONE;
}
