// The clock watcher: every 6 seconds it prints the time of day and raises a
// warning box for each note whose time is the current HH:MM.
#include "notify/notify.h"

#include <string.h>
#include <time.h>

static const char kHowToLeave[] = "Presione Enter para volver al menu\n";

// Between two looks at the clock.
enum { CYCLE_MS = 6000, CLOCK_TEXT = 100 };

// The desktop's box when one can be shown, else the one drawn in the console,
// so a due note is always seen.
static int show_box(const char* text, const char* caption, FILE* in, FILE* out,
                    const Console* con) {
    fflush(out);
    int answer = con->box(text, caption);
    if (answer != CALL_FAILED) return answer;
    return notify_console_box(text, caption, in, out, con);
}

// The stream is named `input` here because `in` is the row being checked.
int alert(const char (&TitNot)[MAX_NOTES][NAME_CELL], const char (&hora)[MAX_NOTES][TIME_CELL],
          const char (&descr)[MAX_NOTES][DESC_CELL], int indN, FILE* input, FILE* out,
          const Console* con) {
    // Printed even from a pipe, where Enter does not leave, so a session's
    // transcript is the same wherever it runs.
    fputs(kHowToLeave, out);
    int rest = BOX_FAILED;  // no box acknowledged yet
    for (;;) {              // verificador
        struct tm now;
        con->local_time(&now);
        char horaL[CLOCK_TEXT];
        if (strftime(horaL, sizeof horaL, "%H:%M", &now) == 0) horaL[0] = '\0';
        fprintf(out, "la hora es: %s\n", horaL);
        fflush(out);
        // A time matches only as typed in exactly the clock's form: "9:05"
        // or "14:30 x" never come due.
        for (int in = 0; in < indN; in++) {
            if (strcmp(hora[in], horaL) != 0) continue;
            rest = show_box(descr[in], TitNot[in], input, out, con);
            if (rest == INPUT_END) return INPUT_END;
        }
        int asked_to_leave = con->wait(CYCLE_MS, input) == USER_LEFT;
        // Only the last box of the cycle counts: an OK followed by a box that
        // could not be shown keeps the watch going.
        if (rest == DONE || asked_to_leave) return DONE;
    }
}
