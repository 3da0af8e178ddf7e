// The clock watcher: every 6 seconds it prints the time of day and raises a
// warning box for each note whose time has come since it last looked.
#include "notify/notify.h"

#include <string.h>
#include <time.h>

#include "terminal/terminal.h"

static const char kHowToLeave[] = "Presione Enter para volver al menu\n";

// Between two looks at the clock.
enum { CYCLE_MS = 6000, CLOCK_TEXT = 100 };

enum { MINUTES_PER_HOUR = 60, MINUTES_PER_DAY = 24 * 60, SECONDS_PER_MINUTE = 60 };

// The minutes of the clock the watch has checked in this pass, both ends
// included: from `first` to `last`. `first` is NO_MINUTE before the first look.
struct Watch {
    long long first;
    long long last;
};

enum : long long { NO_MINUTE = -1 };

// What the readers of a note's time give for text that is not one.
enum { NOT_A_TIME = -1 };

// The clock's minute, counted in local time as it reads, without daylight
// saving: when the clock is put back an hour the same minutes come again and
// count as a clock moved back. NO_MINUTE when it cannot be counted.
static long long clock_minute(const struct tm* now) {
    struct tm standard = *now;
    standard.tm_isdst = 0;
    time_t t = mktime(&standard);
    if (t == (time_t)-1) return NO_MINUTE;
    return (long long)t / SECONDS_PER_MINUTE;
}

static bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The number written with the two digits at `d`, or NOT_A_TIME.
static int two_digits(const char* d) {
    if (!is_digit(d[0]) || !is_digit(d[1])) return NOT_A_TIME;
    return (d[0] - '0') * 10 + (d[1] - '0');
}

// The minute of the day of a note's time, when it is written exactly in the
// clock's form "HH:MM"; NOT_A_TIME otherwise, so "9:05" or "14:30 x" never
// come due.
static int note_minute(const char* time) {
    if (strlen(time) != sizeof "HH:MM" - 1 || time[2] != ':') return NOT_A_TIME;
    int hours = two_digits(time);
    int minutes = two_digits(time + 3);
    if (hours < 0 || hours >= 24 || minutes < 0 || minutes >= MINUTES_PER_HOUR) return NOT_A_TIME;
    return hours * MINUTES_PER_HOUR + minutes;
}

// How many minutes, ending with the clock's, come due at this look; the
// watch then holds them as checked. Normally the one minute the clock just
// reached; after the clock jumped forward (a machine that slept) every minute
// it jumped over, up to a day. None while the clock, put back, is among the
// minutes already checked; a clock put back further, or moved on by more
// than a day, starts a new pass.
static long long minutes_due(Watch* watch, long long now) {
    if (watch->first == NO_MINUTE || now == NO_MINUTE || now < watch->first ||
        now - watch->last > MINUTES_PER_DAY) {
        watch->first = now;
        watch->last = now;
        return 1;
    }
    if (now <= watch->last) return 0;
    long long span = now - watch->last;
    watch->last = now;
    return span;
}

// A note is due when its minute of the day lies among the `span` minutes up
// to and including `today`, the clock's minute of the day.
static int is_due(const char* time, int today, long long span) {
    int minute = note_minute(time);
    if (minute < 0) return 0;
    return (today - minute + MINUTES_PER_DAY) % MINUTES_PER_DAY < span;
}

int notify_watch(FILE* in, FILE* out, const Console* con, const Notes* notes) {
    // Printed even from a pipe, where Enter does not leave, so a session's
    // transcript is the same wherever it runs.
    terminal_put(out, kHowToLeave);
    bool acknowledged = false;
    Watch watch = {NO_MINUTE, NO_MINUTE};
    for (;;) {
        struct tm now;
        con->local_time(&now);
        char line[CLOCK_TEXT];
        if (strftime(line, sizeof line, "la hora es: %H:%M\n", &now) == 0) line[0] = '\0';
        terminal_put(out, line);
        // On the screen before the wait and any box, even through a pipe.
        fflush(out);
        const long long span = minutes_due(&watch, clock_minute(&now));
        const int today = now.tm_hour * MINUTES_PER_HOUR + now.tm_min;
        // Notes come due in the order of the table, however late. The mode
        // ends after the wait that follows the last box, if that one was
        // acknowledged.
        for (int row = 0; row < notes->count; row++) {
            if (!is_due(notes->times[row], today, span)) continue;
            // The desktop's box when one can be shown, else the one drawn in
            // the console, so a due note is always seen.
            const char* text = notes->descriptions[row];
            int answer = con->box(text, notes->names[row]);
            if (answer == CALL_FAILED)
                answer = notify_console_box(text, notes->names[row], in, out);
            if (answer == INPUT_END) return INPUT_END;
            acknowledged = answer == DONE;
        }
        const int waited = con->wait(CYCLE_MS, in);
        if (waited == INPUT_END) return INPUT_END;
        if (acknowledged || waited == USER_LEFT) return DONE;
    }
}
