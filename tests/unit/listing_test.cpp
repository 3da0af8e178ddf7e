// The note list layout and the footer's user name. The report files and
// printing run on the real program in tests/e2e (listing_* cases, check_print).
#include "listing/listing.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_console.h"

namespace {

using Note = std::vector<std::string>;  // name, time, description
using Command = void (*)(FILE*, const Console*, const Notes*, const char*);

const std::string kStars = std::string(71, '*') + "\n";
const std::string kBorder = " " + std::string(69, '-') + "\n";
const std::string kHead =
    kBorder + "|       Nombre       |      Hora       |          Descripcion         |\n" + kStars +
    "\n";

FILE* screen;
std::vector<long> clock_reads;  // bytes on screen each time the clock was read

// `early` sets the clock to 01/01/27 09:05:03, where every field needs its leading zero.
std::string list(const std::vector<Note>& notes, const char* user, bool early, Command command) {
    Console ops = *fake_console_reset();
    Notes table{};
    for (const Note& n : notes) {
        notes_copy_cell(table.TitNot[table.indN], NAME_CELL, n[0].c_str());
        notes_copy_cell(table.hora[table.indN], TIME_CELL, n[1].c_str());
        notes_copy_cell(table.descr[table.indN++], DESC_CELL, n[2].c_str());
    }
    if (early) fake_console().clock = tm{3, 5, 9, 1, 0, 127, 0, 0, -1, 0, nullptr};
    ops.local_time = [](struct tm* now) {
        fflush(screen);
        clock_reads.push_back(ftell(screen));
        fake_console().ops.local_time(now);
    };
    clock_reads.clear();
    auto call = [&](FILE* out) { command(screen = out, &ops, &table, user); };
    auto run = [](FILE*, FILE* out, void* f) { (*static_cast<decltype(call)*>(f))(out); };
    return run_with_streams("", run, &call);
}

}  // namespace

TEST(Listing, LayoutOnScreenByteForByte) {
    std::vector<Note> ten;
    for (int k = 0; k < MAX_NOTES; k++)
        ten.push_back({"n" + std::to_string(k), "10:0" + std::to_string(k), "d"});
    struct Case {
        std::vector<Note> notes;
        const char* user;  // a null user shows an empty name
        bool early;
    } cases[] = {
        {{}, nullptr, true},
        {{{"Cita", "14:30", "Dentista"}}, "ana", false},
        {ten, "ana", false},
        {{{std::string(99, 'n'), std::string(99, 't'), std::string(199, 'd')}}, "ana", false},
    };
    for (const Case& c : cases) {
        std::string body = kHead;
        for (const Note& n : c.notes)
            body +=
                " " + n[0] + " | " + n[1] + " | " + n[2] + " \n" + std::string(71, '-') + "\n\n";
        body += kStars + "|   " + (c.user ? c.user : "") + std::string(32, ' ') +
                (c.early ? "01/01/27 09:05:03" : "05/12/26 23:14:07") + std::string(12, ' ') +
                "|\n" + kBorder;
        EXPECT_EQ(list(c.notes, c.user, c.early, listing_render), body) << c.notes.size();
        EXPECT_EQ(list(c.notes, c.user, c.early, listing_show), "<cls>" + body) << c.notes.size();
        // The clock is read once, after the rows ("<cls>" is 5 bytes).
        EXPECT_EQ(clock_reads, std::vector<long>{long(body.rfind(kStars)) + 5}) << c.notes.size();
    }
}

// The footer's name: USERNAME, then USER, then LOGNAME, then the account.
TEST(Listing, UserNameFallsBackInOrder) {
    const std::string long_name(300, 'u'), cut = long_name.substr(0, 255);
    const std::string mine = getpwuid(geteuid())->pw_name;  // the account's name
    const char* names[] = {"USERNAME", "USER", "LOGNAME"};
    // The three variables (null: unset), then the name expected.
    const char* cases[][4] = {
        {"ana", "bob", "eva", "ana"},
        {nullptr, "bob", "eva", "bob"},
        {nullptr, nullptr, "eva", "eva"},
        {"", "", "", mine.c_str()},
        {long_name.c_str(), nullptr, nullptr, cut.c_str()},
    };
    auto put = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    std::optional<std::string> saved[3];
    for (int k = 0; k < 3; k++)
        if (const char* value = getenv(names[k])) saved[k] = value;
    for (const auto& c : cases) {
        for (int k = 0; k < 3; k++) put(names[k], c[k]);
        EXPECT_STREQ(console_user_name(), c[3]);
    }
    for (int k = 0; k < 3; k++) put(names[k], saved[k] ? saved[k]->c_str() : nullptr);
}
