#include "notify/notify.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "fake_console.h"

using namespace std::chrono_literals;

// Where a box or a watch writes when its output is not the point, and where input has ended.
static FILE* const null = fopen("/dev/null", "r+");

// Each cycle waits 6 s on the fake clock unless `steps` moves it otherwise;
// the fake asks to leave at its 100th wait. Every box is acknowledged.
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
        {"09:29:00", {"1/:29", "09:3/"}, {}, {}, 100},
        {"14:30:00", {"14.30", "14:30 x", "24:30", "14:60"}, {}, {}, 100},
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
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        FakeConsole& fake = fake_console(c.clock);
        fake.clock_steps = c.steps;
        Notes t{};
        for (int k = 0; k < MAX_NOTES; k++) t.TitNot[k][0] = 'A' + k, t.descr[k][0] = 'a' + k;
        for (const char* time : c.times) utf8_copy(t.hora[t.indN++], TIME_CELL, time);
        const int result = alert(t.TitNot, t.hora, t.descr, t.indN, null, null, &fake.ops);
        EXPECT_EQ(std::make_tuple(result, fake.boxes, fake.waits),
                  std::make_tuple(DONE, c.boxes, c.waits));
    }
}

// At a terminal Enter leaves at once; the end of input, from a terminal or a
// pipe, ends the wait at once; a line waiting in a pipe is left for later.
TEST(Notify, WaitSleepsItsTimeWithoutCpuUnlessEnterOrTheEndOfInputComes) {
    struct Case {
        int terminal, hang_up, result, still_readable;
        const char* typed;
    } cases[] = {{0, 0, DONE, 1, "\n"},        {0, 1, INPUT_END, 0, ""},
                 {1, 0, DONE, 0, ""},          {1, 0, USER_LEFT, 0, "\n\n"},
                 {1, 0, INPUT_END, 0, "\x04"}, {1, 1, INPUT_END, 1, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        int fds[2];  // reader, writer
        ASSERT_EQ(c.terminal ? openpty(&fds[1], &fds[0], nullptr, nullptr, nullptr) : pipe(fds), 0);
        ASSERT_EQ(write(fds[1], c.typed, strlen(c.typed)), (ssize_t)strlen(c.typed));
        std::thread hang_up([&] {  // 100 ms into the wait
            if (c.hang_up && usleep(100000) == 0) close(fds[1]);
        });
        FILE* in = fdopen(fds[0], "r");
        const clock_t cpu = clock();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(console_system()->wait(400, in), c.result);
        const auto took = std::chrono::steady_clock::now() - start;
        hang_up.join();
        EXPECT_TRUE(c.result == DONE ? took >= 399ms : took < (c.hang_up ? 300ms : 50ms));
        EXPECT_LT(clock() - cpu, CLOCKS_PER_SEC / 25);
        // A pipe's line stays for the next prompt; the Enters typed at a terminal are all taken.
        pollfd p = {fds[0], POLLIN, 0};
        EXPECT_EQ(c.terminal ? poll(&p, 1, 0) : getc(in) != EOF, c.still_readable);
        fclose(in);
        if (!c.hang_up) close(fds[1]);
    }
}
