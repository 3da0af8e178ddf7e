// Bounded input and cell helpers, and the screen and keyboard rules, shared
// by every command.
#include "notes/notes.h"

#include <string.h>

#include "utf8/utf8.h"

static const char kStandIn[] = "?";

void notes_put_text(FILE* out, const char* text, size_t len, int on_terminal) {
    if (!on_terminal) {
        fwrite(text, 1, len, out);
        return;
    }
    size_t start = 0;
    for (size_t k = 0; k < len;) {
        size_t control = utf8_control_length(text + k, len - k);
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

// One byte of the line: kept while the cell has room, counted either way.
static void take_byte(int c, char* cell, size_t size, size_t* kept, long* len) {
    if (*kept + 1 < size) cell[(*kept)++] = (char)c;
    (*len)++;
}

// The whole line is consumed even when it is longer than the cell, so the
// tail of an overlong answer can never be taken as the answer to the next
// prompt. A CR right before the LF belongs to the line end: input typed or
// saved on Windows reads the same as on POSIX. A budget, when given, is the
// bytes left to read: at 0 the input counts as ended.
long notes_read_line_within(FILE* in, const Console* con, char* cell, size_t size, long* budget) {
    fflush(NULL);
    long len = 0;
    size_t kept = 0;
    int pending_cr = 0;
    int c = EOF;
    while ((budget == nullptr || (*budget)-- > 0) && (c = con->read_byte(in)) != EOF && c != '\n') {
        if (pending_cr) take_byte('\r', cell, size, &kept, &len);
        pending_cr = (c == '\r');
        if (!pending_cr) take_byte(c, cell, size, &kept, &len);
    }
    const int ended = c == EOF || (budget != nullptr && *budget < 0);
    if (pending_cr && ended) take_byte('\r', cell, size, &kept, &len);
    if (len > (long)kept) kept = utf8_whole(cell, kept);
    if (size > 0) cell[kept] = '\0';
    if (ended && len == 0) return INPUT_END;
    return len;
}

long notes_read_line(FILE* in, const Console* con, char* cell, size_t size) {
    return notes_read_line_within(in, con, cell, size, nullptr);
}

int notes_read_word(FILE* in, const Console* con, char* cell, size_t size) {
    fflush(NULL);
    int c;
    do {
        c = con->read_byte(in);
    } while (c != EOF && is_blank(c));
    if (c == EOF) {
        cell[0] = '\0';
        return INPUT_END;
    }
    size_t kept = 0;
    bool cut = false;
    while (c != EOF && !is_blank(c)) {
        if (kept + 1 < size) {
            cell[kept++] = (char)c;
        } else {
            cut = true;
        }
        c = con->read_byte(in);
    }
    if (cut) kept = utf8_whole(cell, kept);
    cell[kept] = '\0';
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

// A transcript of redirected output still shows where each screen began.
void notes_clear_screen(FILE* out, const Console* con) {
    if (con->is_terminal(out)) {
        con->clear_terminal(out);
    } else {
        fputc('\f', out);
    }
}

void notes_set_colour(FILE* out, const Console* con, int scheme) {
    char no_color[2];
    con->env("NO_COLOR", no_color, sizeof no_color);
    if (con->is_terminal(out) && no_color[0] == '\0') con->set_colour(out, scheme);
}

// From a pipe the key-wait takes one line, so a scripted session is a text
// file with an empty line after each command.
int notes_key_wait(FILE* in, const Console* con) {
    if (con->is_terminal(in)) return con->read_terminal_key(in);
    return notes_read_line(in, con, nullptr, 0) >= 0 ? DONE : INPUT_END;
}

void notes_user_name(const Console* con, char* name, size_t size) {
    static const char* const kVariables[] = {"USERNAME", "USER", "LOGNAME"};
    for (const char* variable : kVariables) {
        con->env(variable, name, size);
        if (name[0] != '\0') return;
    }
    if (con->account_name(name, size) != DONE) name[0] = '\0';
}

// USERPROFILE first, as on Windows, so one setting serves both systems.
int notes_home_folder(const Console* con, char* path, size_t size) {
    int found = con->env("USERPROFILE", path, size);
    if (path[0] == '\0') found = con->env("HOME", path, size);
    return found;
}
