// The bounded readers of typed answers and of saved files.
#include "notes/notes.h"

enum {
    UTF16_LE = 1,  // the low byte of each unit first, as Windows writes it
    UTF16_BE = 2,
    UTF8_MARK = 3
};

// The byte order mark at `at` in `file`, or 0.
static int mark_at(FILE* file, long at) {
    unsigned char m[3] = {0, 0, 0};
    if (fseek(file, at, SEEK_SET) != 0 || fread(m, 1, sizeof m, file) < 2) return 0;
    if (m[0] == 0xEF && m[1] == 0xBB && m[2] == 0xBF) return UTF8_MARK;
    if (m[0] == 0xFF && m[1] == 0xFE) return UTF16_LE;
    return m[0] == 0xFE && m[1] == 0xFF ? UTF16_BE : 0;
}

// What Windows tools put before a saved file's text: UTF-8's byte order mark
// (older Notepad's "UTF-8"), or UTF-16's either way round (Notepad's
// "Unicode", PowerShell's ">"). A tool that added one to a file that had one
// leaves two: every mark at the start goes, so none is ever taken into the
// first name, nor written back by the next save.
void notes_start_file_text(FILE* file, FileText* text, long budget) {
    *text = FileText{budget, 0, {}, 0, 0};
    long start = 0;
    for (int mark; start < budget && (mark = mark_at(file, start)) != 0;) {
        const bool utf8 = mark == UTF8_MARK;
        if (utf8 ? text->utf16 != 0 : start > 0 && mark != text->utf16) break;
        if (!utf8) text->utf16 = mark;
        start += utf8 ? 3 : 2;
    }
    text->budget -= start;
    if (fseek(file, start, SEEK_SET) != 0) text->budget = 0;
}

// The next unit of a UTF-16 file, or EOF; a lone last byte is no unit.
static long utf16_unit(FILE* in, FileText* text) {
    if ((text->budget -= 2) < 0) return EOF;
    const int first = getc(in);
    const int second = getc(in);
    if (first == EOF || second == EOF) return EOF;
    return text->utf16 == UTF16_LE ? second << 8 | first : first << 8 | second;
}

// A character of a UTF-16 file in UTF-8; one that takes a pair of units
// reads the second too.
static int next_utf16_byte(FILE* in, FileText* text) {
    const long unit = utf16_unit(in, text);
    if (unit == EOF) return EOF;
    const long low = utf8_utf16_needs_pair(unit) ? utf16_unit(in, text) : EOF;
    text->held_end = (int)utf8_from_utf16(unit, low, text->held);
    text->held_next = 1;
    return (unsigned char)text->held[0];
}

// Typed input through the console; a file's bytes within its budget.
static int next_byte(FILE* in, FileText* text) {
    if (text == nullptr) return console_read_byte(in);
    if (text->held_next < text->held_end) return (unsigned char)text->held[text->held_next++];
    if (text->utf16 != 0) return next_utf16_byte(in, text);
    return text->budget-- > 0 ? getc(in) : EOF;
}

static int is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One byte of the line: kept while the cell has room, counted either way.
static void take_byte(int c, char* cell, size_t size, size_t* kept, long* len) {
    if (*kept + 1 < size) cell[(*kept)++] = (char)c;
    (*len)++;
}

// The whole line is consumed even when it is longer than the cell, so the
// tail of an overlong answer can never be taken as the answer to the next
// prompt. A CR right before the LF belongs to the line end: input typed or
// saved on Windows reads the same as on POSIX.
long notes_read_line(FILE* in, char* cell, size_t size, FileText* text) {
    fflush(nullptr);
    long len = 0;
    size_t kept = 0;
    int pending_cr = 0;
    int c;
    while ((c = next_byte(in, text)) != EOF && c != '\n') {
        if (pending_cr) take_byte('\r', cell, size, &kept, &len);
        pending_cr = (c == '\r');
        if (!pending_cr) take_byte(c, cell, size, &kept, &len);
    }
    if (pending_cr && c == EOF) take_byte('\r', cell, size, &kept, &len);
    if (len > (long)kept) kept = utf8_whole(cell, kept);
    if (size > 0) cell[kept] = '\0';
    if (c == EOF && len == 0) return INPUT_END;
    return len;
}

int notes_read_word(FILE* in, char* cell, size_t size) {
    fflush(nullptr);
    int c;
    do {
        c = console_read_byte(in);
    } while (c != EOF && is_blank(c));
    size_t kept = 0;
    size_t len = 0;
    for (; c != EOF && !is_blank(c); c = console_read_byte(in), len++) {
        if (kept + 1 < size) cell[kept++] = (char)c;
    }
    if (len > kept) kept = utf8_whole(cell, kept);
    cell[kept] = '\0';
    if (len == 0) return INPUT_END;
    if (c == '\r' && (c = console_read_byte(in)) != '\n' && c != EOF) console_unread_byte(c, in);
    return DONE;
}
