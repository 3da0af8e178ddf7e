// The clock watcher's bookkeeping of minutes, which no session of the real
// program can reach in reasonable time: a clock that jumps, is put back or
// moves on by days. The console is the system's own with the clock, the
// boxes and the waits replaced.
#include "notify/notify.h"

#include <gtest/gtest.h>
#include <time.h>

#include <string>
#include <vector>

// Each wait moves the clock by its step (6 s once the steps run out); the
// 100th asks to leave. Every box is acknowledged and recorded.
static struct tm clock_now;
static std::vector<int> steps;
static std::vector<std::string> boxes;
static int waits;

static const Console kWatched = {
    .local_time = [](struct tm* now) { *now = clock_now; },
    .box =
        [](const char* text, const char* caption) {
            boxes.push_back(std::string(caption) + "|" + text);
            return (int)DONE;
        },
    .wait =
        [](int ms, FILE*) {
            const size_t k = waits++;
            clock_now.tm_sec += k < steps.size() ? steps[k] : ms / 1000;
            mktime(&clock_now);  // carries seconds into minutes and hours
            return waits >= 100 ? (int)USER_LEFT : (int)DONE;
        },
    .print = nullptr,
};

TEST(Notify, ShowsEachDueNoteOnceAndEndsAfterTheWaitThatFollowsAnAcknowledgedBox) {
    struct Case {
        const char* clock;
        std::vector<const char*> times;  // row k is named "A" + k, described "a" + k
        std::vector<int> steps;
        std::vector<std::string> boxes;
        int waits;
    } cases[] = {
        // clang-format off
        {"14:29:50", {"14:30"}, {}, {"A|a"}, 3},
        {"09:05:00", {"9:05"}, {}, {}, 100},
        {"23:59:00", {"9:05"}, {}, {}, 100},  // no time is never the last minute either
        {"09:29:00", {"1/:29", "09:3/"}, {}, {}, 100},
        {"14:30:00", {"14.30", "14:30 x"}, {}, {}, 100},
        // The clock's own bounds: 00:00 comes due; 24:30 and 14:60 are no times.
        {"00:00:00", {"00:00"}, {}, {"A|a"}, 1},
        {"00:30:00", {"24:30", "00:30"}, {}, {"B|b"}, 1},
        {"15:00:00", {"14:60", "15:00"}, {}, {"B|b"}, 1},
        {"14:30:00", {"14:30", "10:00", "14:30"}, {}, {"A|a", "C|c"}, 1},
        // A jump from 14:29 to 14:45 raises what it jumped over, once, in table order.
        {"14:29:00", {"14:35", "14:30", "14:28", "14:45", "14:46"}, {960}, {"A|a", "B|b", "D|d"}, 2},
        // Put back before the first minute checked: a new pass.
        {"14:31:00", {"14:30", "14:32"}, {-60}, {"A|a"}, 2},
        // Put back among the minutes checked, then on: each minute once.
        {"14:29:00", {"14:32"}, {120, -60, 180}, {"A|a"}, 4},
        // Moved on by more than a day: only the clock's own minute.
        {"23:57:00", {"23:58", "23:59"}, {2 * 86400 + 120}, {"B|b"}, 2},
        // clang-format on
    };
    static FILE* const null = fopen("/dev/null", "r+");
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        clock_now = {};
        clock_now.tm_isdst = -1;  // whatever that day has
        strptime((std::string("2026-12-05 ") + c.clock).c_str(), "%F %T", &clock_now);
        steps = c.steps, boxes.clear(), waits = 0;
        Notes t{};
        for (int k = 0; k < MAX_NOTES; k++) t.names[k][0] = 'A' + k, t.descriptions[k][0] = 'a' + k;
        for (const char* time : c.times) utf8_copy(t.times[t.count++], TIME_CELL, time);
        const int result = notify_watch(null, null, &kWatched, &t);
        EXPECT_EQ(std::make_tuple(result, boxes, waits), std::make_tuple(DONE, c.boxes, c.waits));
    }
}
