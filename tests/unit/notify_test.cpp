#include "notify/notify.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake_console.h"

namespace {

struct Note {
    const char *name, *time, *text;
};

struct Watch {
    Notas table;
    int result;
};

void run_alert(FILE* in, FILE* out, void* ctx) {
    Watch* w = static_cast<Watch*>(ctx);
    w->result = alert(w->table.TitNot, w->table.hora, w->table.descr, w->table.indN, in, out,
                      &fake_console().ops);
}

std::string repeat(const std::string& s, int n) {
    std::string r;
    while (n-- > 0) r += s;
    return r;
}

double elapsed_ms(clockid_t clock, const timespec& from) {
    timespec now;
    clock_gettime(clock, &now);
    return (now.tv_sec - from.tv_sec) * 1e3 + (now.tv_nsec - from.tv_nsec) / 1e6;
}

const std::string kLeave = "Presione Enter para volver al menu\n";

}  // namespace

TEST(Notify, WatchesTheClockAndEndsAfterTheWaitThatFollowsAnAcknowledgedBox) {
    const int F = BOX_FAILED, E = BOX_END_OF_INPUT;
    const Note A = {"A", "14:30", "a"}, B = {"B", "10:00", "b"}, C = {"C", "14:30", "c"};
    struct Case {
        const char* what;
        int h, m, s, max_waits;
        std::vector<Note> notes;
        std::vector<int> results;
        std::vector<std::string> boxes;
        int waits, result;
        std::string output;  // checked when not empty
    } cases[] = {
        // clang-format off
        {"due at 14:30", 14, 29, 50, 100, {{"Cita", "14:30", "Dentista"}}, {}, {"Cita|Dentista"}, 3, INPUT_OK,
         kLeave + repeat("la hora es: 14:29\n", 2) + "la hora es: 14:30\n<box Cita|Dentista>"},
        {"9:05", 9, 5, 0, 5, {{"a", "9:05", "x"}}, {}, {}, 5, INPUT_OK, kLeave + repeat("la hora es: 09:05\n", 5)},
        {"14.30", 14, 30, 0, 5, {{"a", "14.30", "x"}}, {}, {}, 5, INPUT_OK, ""},
        {"trailing text", 14, 30, 0, 5, {{"a", "14:30 x", "x"}}, {}, {}, 5, INPUT_OK, ""},
        {"empty table", 14, 30, 0, 50, {}, {}, {}, 50, INPUT_OK, ""},
        {"same time, lower row first", 14, 30, 0, 100, {A, B, C}, {}, {"A|a", "C|c"}, 1, INPUT_OK, ""},
        {"failed box", 14, 30, 0, 100, {A}, {F}, {"A|a", "A|a"}, 2, INPUT_OK, ""},
        {"OK then failed", 14, 30, 0, 100, {A, C}, {1, F}, {"A|a", "C|c", "A|a", "C|c"}, 2, INPUT_OK, ""},
        {"failed then OK", 14, 30, 0, 100, {A, C}, {F, 1}, {"A|a", "C|c"}, 1, INPUT_OK, ""},
        {"input ends at a box", 14, 30, 0, 100, {A, C}, {E}, {"A|a"}, 0, INPUT_END, ""},
        {"past midnight", 23, 59, 58, 100, {{"N", "00:00", "n"}}, {}, {"N|n"}, 2, INPUT_OK, ""},
        {"a whole day", 0, 0, 0, 20000, {{"N", "23:59", "n"}}, {}, {"N|n"}, 14391, INPUT_OK, ""},
        // clang-format on
    };
    for (const Case& c : cases) {
        fake_console_reset();
        FakeConsole& fake = fake_console();
        fake.clock.tm_hour = c.h, fake.clock.tm_min = c.m, fake.clock.tm_sec = c.s;
        fake.max_waits = c.max_waits;
        fake.box_results = c.results;
        Watch w{};
        for (const Note& n : c.notes) {
            copiar_celda(w.table.TitNot[w.table.indN], NAME_CELL, n.name);
            copiar_celda(w.table.hora[w.table.indN], TIME_CELL, n.time);
            copiar_celda(w.table.descr[w.table.indN++], DESC_CELL, n.text);
        }
        std::string out = run_with_streams("", run_alert, &w);
        EXPECT_EQ(fake.boxes, c.boxes) << c.what;
        EXPECT_EQ(fake.waits, c.waits) << c.what;
        EXPECT_EQ(w.result, c.result) << c.what;
        if (c.waits > 0) {
            EXPECT_EQ(fake.last_wait_ms, 6000) << c.what;
        }
        if (!c.output.empty()) {
            EXPECT_EQ(out, c.output) << c.what;
        }
    }
}

// The console box, drawn when there is no desktop (or no zenity on it).
TEST(Notify, ConsoleBoxLayout) {
    const std::string x70(70, 'x'), x60(60, 'x'), x10(10, 'x'),
        rule60 = "+" + std::string(62, '-') + "+\n";
    const std::string button60 =
        "|" + std::string(25, ' ') + "[ Aceptar ]" + std::string(26, ' ') + "|\n";
    struct Case {
        const char *what, *display, *caption, *text, *input;
        std::string output;
        int result;
    } cases[] = {
        {"short", nullptr, "Cita", "Dentista", "\n",
         "+-------------+\n|    Cita     |\n+-------------+\n| Dentista    |\n"
         "|             |\n| [ Aceptar ] |\n+-------------+\n",
         BOX_OK},
        {"desktop without zenity", ":0", "", "", "\n",
         "+-------------+\n|             |\n+-------------+\n|             |\n"
         "|             |\n| [ Aceptar ] |\n+-------------+\n",
         BOX_OK},
        {"wrapped at blanks, UTF-8 counted by character", nullptr, "Cita",
         "Dentista con un texto muy largo que tiene que partirse en varias filas porque no "
         "cabe en sesenta columnas, D\xc3\xad"
         "a",
         "\n",
         rule60 + "|" + std::string(29, ' ') + "Cita" + std::string(29, ' ') + "|\n" + rule60 +
             "| Dentista con un texto muy largo que tiene que partirse en" + std::string(4, ' ') +
             "|\n| varias filas porque no cabe en sesenta columnas, D\xc3\xad"
             "a" +
             std::string(9, ' ') + "|\n|" + std::string(62, ' ') + "|\n" + button60 + rule60,
         BOX_OK},
        {"a word wider than the box", nullptr, "T", x70.c_str(), "",
         rule60 + "|" + std::string(30, ' ') + "T" + std::string(31, ' ') + "|\n" + rule60 + "| " +
             x60 + " |\n| " + x10 + std::string(50, ' ') + " |\n|" + std::string(62, ' ') + "|\n" +
             button60 + rule60,
         BOX_END_OF_INPUT},
    };
    ScratchDir scratch;  // an empty PATH: no zenity
    const char* saved_path = getenv("PATH");
    std::string path = saved_path ? saved_path : "";
    setenv("PATH", scratch.path.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    for (const Case& c : cases) {
        if (c.display)
            setenv("DISPLAY", c.display, 1);
        else
            unsetenv("DISPLAY");
        int result = 0;
        std::pair<const Case*, int*> ctx{&c, &result};
        std::string out = run_with_streams(
            c.input,
            [](FILE* in, FILE* out, void* p) {
                auto* x = static_cast<std::pair<const Case*, int*>*>(p);
                *x->second = console_system()->box(x->first->text, x->first->caption, in, out);
            },
            &ctx);
        EXPECT_EQ(out, c.output) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
    }
    setenv("PATH", path.c_str(), 1);
}

// On a desktop the box is zenity, given the texts as plain arguments.
TEST(Notify, DesktopBoxRunsZenityWithTheTextsAsArguments) {
    const char* text = "Llevar \"papeles\" $(rm -rf ~) `id` <b>&amp;</b> 'ya'";
    struct Case {
        int exit_code, result;
    } cases[] = {{0, BOX_OK}, {1, BOX_FAILED}, {5, BOX_FAILED}};
    ScratchDir scratch;
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (scratch.path + ":" + path).c_str(), 1);
    setenv("DISPLAY", ":0", 1);
    for (const Case& c : cases) {
        std::ofstream(scratch.path + "/zenity")
            << "#!/bin/sh\nprintf '%s\\n' \"$@\" > args\nexit " << c.exit_code << "\n";
        chmod((scratch.path + "/zenity").c_str(), 0755);
        FILE* none = fopen("/dev/null", "r+");
        EXPECT_EQ(console_system()->box(text, "Tramite $HOME", none, none), c.result);
        fclose(none);
        std::stringstream args;
        args << std::ifstream("args").rdbuf();
        EXPECT_EQ(
            args.str(),
            std::string("--warning\n--no-markup\n--title=Tramite $HOME\n--text=") + text + "\n");
        unlink("args");
    }
    unsetenv("DISPLAY");
    setenv("PATH", path.c_str(), 1);
}

// The wait sleeps its whole time; only at a terminal does Enter ask to leave.
TEST(Notify, WaitSleepsWithoutCpuAndListensForEnterOnlyAtATerminal) {
    enum { PIPE, TERMINAL, HUNG_UP };
    struct Case {
        const char* what;
        int kind;
        const char* typed;
        int result;
    } cases[] = {{"pipe", PIPE, "\n", WAIT_DONE},
                 {"terminal, no key", TERMINAL, "", WAIT_DONE},
                 {"terminal, Enter twice", TERMINAL, "\n\n", WAIT_LEAVE},
                 {"terminal, end of input", TERMINAL, "\x04", WAIT_LEAVE},
                 {"terminal hung up during the wait", HUNG_UP, "", WAIT_LEAVE}};
    for (const Case& c : cases) {
        int writer = -1, reader = -1;
        if (c.kind == PIPE) {
            int fds[2];
            ASSERT_EQ(pipe(fds), 0);
            reader = fds[0], writer = fds[1];
        } else {
            writer = posix_openpt(O_RDWR | O_NOCTTY);
            ASSERT_GE(writer, 0);
            ASSERT_EQ(grantpt(writer) | unlockpt(writer), 0);
            reader = open(ptsname(writer), O_RDWR | O_NOCTTY);
            ASSERT_GE(reader, 0);
        }
        ASSERT_EQ(write(writer, c.typed, strlen(c.typed)), (ssize_t)strlen(c.typed));
        std::thread hang_up([&] {
            if (c.kind != HUNG_UP) return;
            usleep(100000);
            close(writer);
        });
        FILE* in = fdopen(reader, "r");
        timespec wall, cpu;
        clock_gettime(CLOCK_MONOTONIC, &wall);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        EXPECT_EQ(console_system()->wait(400, in), c.result) << c.what;
        hang_up.join();
        EXPECT_GE(elapsed_ms(CLOCK_MONOTONIC, wall), 399) << c.what;
        EXPECT_LT(elapsed_ms(CLOCK_PROCESS_CPUTIME_ID, cpu), 40) << c.what;
        // A pipe's line stays for the next prompt; Enters typed at the
        // terminal are all taken by the wait.
        pollfd p = {reader, POLLIN, 0};
        if (c.kind != HUNG_UP) {
            EXPECT_EQ(poll(&p, 1, 0), c.kind == PIPE ? 1 : 0) << c.what;
        }
        fclose(in);
        if (c.kind != HUNG_UP) close(writer);
    }
}
