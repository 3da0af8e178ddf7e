// The warning box drawn in the console, for where the desktop's own box
// cannot be shown.
#include <string.h>

#include <algorithm>

#include "notify/notify.h"
#include "terminal/terminal.h"
#include "utf8/utf8.h"

// The console box never grows wider than this, so a long description is
// wrapped instead of breaking the frame on an ordinary terminal.
enum { BOX_MAX_WIDTH = 60 };

// Bytes of `text` that go on one row of `width` columns: up to the last
// blank that fits, or a hard cut when one word is wider than the row. Never
// cuts inside a UTF-8 character.
static size_t next_row_length(const char* text, size_t width) {
    size_t cols = 0;
    size_t last_blank = 0;
    size_t k = 0;
    for (; text[k] != '\0'; k++) {
        if (utf8_is_tail((unsigned char)text[k])) continue;
        if (cols == width) break;
        if (text[k] == ' ') last_blank = k;
        cols++;
    }
    if (text[k] == '\0' || text[k] == ' ' || last_blank == 0) return k;
    return last_blank;
}

// `count` blanks, or hyphens: as many as a row can need at a time.
static void put_run(FILE* out, char c, size_t count) {
    char run[BOX_MAX_WIDTH + 2];
    memset(run, c, sizeof run);
    terminal_write(out, run, count);
}

static void draw_rule(FILE* out, size_t width) {
    terminal_put(out, "+");
    put_run(out, '-', width + 2);
    terminal_put(out, "+\n");
}

// One row of the frame: the first `len` bytes of `text`, padded to `width`
// columns, which they must not exceed. A stand-in takes the one column its
// control character was counted for.
static void draw_row(FILE* out, const char* text, size_t len, size_t width, bool centred,
                     int on_terminal) {
    size_t cols = utf8_columns(text, len);
    size_t left = centred ? (width - cols) / 2 : 0;
    terminal_put(out, "| ");
    put_run(out, ' ', left);
    terminal_put_note(out, text, len, on_terminal);
    put_run(out, ' ', width - left - cols);
    terminal_put(out, " |\n");
}

// As many rows as `text` needs; an empty text still takes one row.
static void draw_wrapped(FILE* out, const char* text, size_t width, bool centred, int on_terminal) {
    do {
        size_t len = next_row_length(text, width);
        draw_row(out, text, len, width, centred, on_terminal);
        text += len;
        while (*text == ' ') text++;
    } while (*text != '\0');
}

// The frame is as wide as its longest text, within BOX_MAX_WIDTH and never
// narrower than the button. Like a real modal box it takes only an Enter
// pressed once it is up, not one typed earlier.
int notify_console_box(const char* text, const char* caption, FILE* in, FILE* out) {
    static const char kButton[] = "[ Aceptar ]";
    const size_t widest =
        std::max(utf8_columns(caption, strlen(caption)), utf8_columns(text, strlen(text)));
    const size_t width = std::max(std::min(widest, (size_t)BOX_MAX_WIDTH), sizeof kButton - 1);
    const int on_terminal = console_is_terminal(out);
    if (console_is_terminal(in)) console_drop_typed_keys(in);
    if (on_terminal) terminal_put(out, "\a");
    draw_rule(out, width);
    draw_wrapped(out, caption, width, true, on_terminal);
    draw_rule(out, width);
    draw_wrapped(out, text, width, false, on_terminal);
    draw_row(out, "", 0, width, false, on_terminal);
    draw_row(out, kButton, sizeof kButton - 1, width, true, on_terminal);
    draw_rule(out, width);
    return notes_read_line(in, nullptr, 0, nullptr) >= 0 ? DONE : INPUT_END;
}
