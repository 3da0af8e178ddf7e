// The screen and keyboard rules every command shares.
#include "terminal/terminal.h"

#include <string.h>

#include "utf8/utf8.h"

void terminal_write(FILE* out, const char* text, size_t len) { console_write(out, text, len); }

void terminal_put(FILE* out, const char* text) { terminal_write(out, text, strlen(text)); }

void terminal_put_note(FILE* out, const char* text, size_t len, int on_terminal) {
    size_t start = 0;
    for (size_t k = 0; on_terminal && k < len;) {
        const size_t control = utf8_control_length(text + k, len - k);
        if (control == 0) {
            k++;
            continue;
        }
        terminal_write(out, text + start, k - start);
        terminal_put(out, "?");
        k += control;
        start = k;
    }
    terminal_write(out, text + start, len - start);
}

void terminal_report(FILE* out, const char* what, const char* name) {
    terminal_put(out, what);
    terminal_put_note(out, name, strlen(name), console_is_terminal(out));
    terminal_put(out, "\n");
}

// A transcript of redirected output still shows where each screen began.
void terminal_clear(FILE* out) {
    if (console_is_terminal(out)) {
        console_clear(out);
    } else {
        terminal_put(out, "\f");
    }
}

void terminal_set_colour(FILE* out, int scheme) {
    char no_color[2];
    console_env("NO_COLOR", no_color, sizeof no_color);
    if (console_is_terminal(out) && no_color[0] == '\0') console_set_colour(out, scheme);
}

// From a pipe the key-wait takes one line, so a scripted session is a text
// file with an empty line after each command.
int terminal_key_wait(FILE* in) {
    if (console_is_terminal(in)) return console_read_key(in);
    return notes_read_line(in, nullptr, 0, nullptr) >= 0 ? DONE : INPUT_END;
}
