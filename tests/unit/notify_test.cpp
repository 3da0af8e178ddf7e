// The clock watcher's bookkeeping of minutes, which no session of the real
// program can reach in reasonable time: a clock that jumps, is put back or
// moves on by days: the cases of tests/data/watch.txt. The console is the
// system's own with the clock, the boxes and the waits replaced.
#include "notify/notify.h"

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Each wait moves the clock by its step (6 s once the steps run out); the
// 100th asks to leave. Every box is acknowledged and recorded.
static struct tm clock_now;
static std::vector<int> steps;
static std::vector<std::string> boxes;
static int waits;

static Console watched_console(const char* time) {
    clock_now = {};
    clock_now.tm_isdst = -1;  // whatever that day has
    strptime((std::string("2026-12-05 ") + time).c_str(), "%F %T", &clock_now);
    boxes.clear();
    waits = 0;
    Console con = *console_system();
    con.local_time = [](struct tm* now) { *now = clock_now; };
    con.box = [](const char* text, const char* caption) -> int {
        boxes.push_back(std::string(caption) + "|" + text);
        return DONE;
    };
    con.wait = [](int ms, FILE*) -> int {
        const size_t k = waits++;
        clock_now.tm_sec += k < steps.size() ? steps[k] : ms / 1000;
        mktime(&clock_now);  // carries seconds into minutes and hours
        return waits >= 100 ? USER_LEFT : DONE;
    };
    return con;
}

// The items of a comma-separated list, "-" for none.
static std::vector<std::string> items(const std::string& list) {
    std::vector<std::string> found;
    std::istringstream in(list == "-" ? "" : list);
    for (std::string item; std::getline(in, item, ',');) found.push_back(item);
    return found;
}

TEST(Notify, ShowsEachDueNoteOnceAndEndsAfterTheWaitThatFollowsAnAcknowledgedBox) {
    static FILE* const null = fopen("/dev/null", "r+");
    std::ifstream table(KELVRA_TEST_DATA "/watch.txt");
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::string clock, times, step_list, shown;
        int want_waits = 0;
        std::istringstream(line) >> clock >> times >> step_list >> shown >> want_waits;
        const Console con = watched_console(clock.c_str());
        steps.clear();
        for (const std::string& step : items(step_list)) steps.push_back(std::stoi(step));
        Notes t{};
        for (int k = 0; k < MAX_NOTES; k++) t.names[k][0] = 'A' + k, t.descriptions[k][0] = 'a' + k;
        for (std::string time : items(times)) {
            std::replace(time.begin(), time.end(), '_', ' ');
            utf8_copy(t.times[t.count++], TIME_CELL, time.c_str());
        }
        std::vector<std::string> want_boxes;
        for (char row : shown == "-" ? "" : shown)
            want_boxes.push_back({row, '|', char(row - 'A' + 'a')});
        const int result = notify_watch(null, null, &con, &t);
        EXPECT_EQ(std::make_tuple(result, boxes, waits),
                  std::make_tuple(DONE, want_boxes, want_waits));
        rows++;
    }
    EXPECT_GT(rows, 0) << "no rows in " KELVRA_TEST_DATA "/watch.txt";
}
