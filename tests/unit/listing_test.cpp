// The note list layout, the report files and printing, driven through the
// fake console inside a scratch directory.
#include "listing/listing.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_console.h"

namespace {

// Built from counts, apart from the program's own literals.
const std::string kBorder = " " + std::string(69, '-') + "\n";
const std::string kHead =
    kBorder + "|       Nombre       |      Hora       |          Descripcion         |\n" +
    std::string(71, '*') + "\n\n";

std::string row(const std::string& name, const std::string& time, const std::string& desc) {
    return " " + name + " | " + time + " | " + desc + " \n" + std::string(71, '-') + "\n\n";
}

std::string footer(const std::string& user, const std::string& stamp = "05/12/26 23:14:07") {
    return std::string(71, '*') + "\n|   " + user + std::string(32, ' ') + stamp +
           std::string(12, ' ') + "|\n" + kBorder;
}

struct Note {
    std::string name, time, desc;
};

Notas table;
const char* user = "ana";
Consola ops;
void (*command)(FILE*, const Consola*, const Notas*, const char*);
FILE* screen;
std::vector<long> clock_reads;  // how much was written when the clock was read
int print_result, prints;
std::string printed;  // ListaNotas.txt as the printing command found it

std::string read_file(const char* name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The footer's clock. With `early` set it reads 1 January 2027, 09:05:03,
// so every field of the stamp needs its leading zero.
bool early;
void counting_clock(struct tm* now) {
    fflush(screen);
    clock_reads.push_back(ftell(screen));
    fake_console().ops.local_time(now);
    if (early) *now = tm{3, 5, 9, 1, 0, 127, 0, 0, -1, 0, nullptr};
}

int recording_print() {
    prints++;
    printed = read_file("ListaNotas.txt");
    return print_result;
}

void run(FILE*, FILE* out, void*) {
    screen = out;
    command(out, &ops, &table, user);
}

std::string list(const std::vector<Note>& notes,
                 void (*cmd)(FILE*, const Consola*, const Notas*, const char*)) {
    table = Notas{};
    for (const Note& n : notes) {
        copiar_celda(table.TitNot[table.indN], NAME_CELL, n.name.c_str());
        copiar_celda(table.hora[table.indN], TIME_CELL, n.time.c_str());
        copiar_celda(table.descr[table.indN++], DESC_CELL, n.desc.c_str());
    }
    ops = *fake_console_reset();
    ops.local_time = counting_clock;
    ops.imprimir = recording_print;
    clock_reads.clear();
    prints = 0;
    printed.clear();
    command = cmd;
    return run_with_streams("", run, nullptr);
}

}  // namespace

TEST(Listing, LayoutOnScreenByteForByte) {
    std::vector<Note> ten;
    std::string ten_rows;
    for (int k = 0; k < MAX_NOTES; k++) {
        ten.push_back({"n" + std::to_string(k), "10:0" + std::to_string(k), "d"});
        ten_rows += row("n" + std::to_string(k), "10:0" + std::to_string(k), "d");
    }
    const std::string a99(99, 'a'), b99(99, 'b'), c199(199, 'c');
    struct Case {
        std::vector<Note> notes;
        const char* user;
        std::string body;
    } cases[] = {
        {{}, "ana", kHead + footer("ana", "01/01/27 09:05:03")},
        {{{"Cita", "14:30", "Dentista"}},
         "ana",
         kHead + row("Cita", "14:30", "Dentista") + footer("ana")},
        {ten, "ana", kHead + ten_rows + footer("ana")},
        {{{a99 + "x", b99 + "x", c199 + "x"}}, "ana", kHead + row(a99, b99, c199) + footer("ana")},
        {{{"", "", ""}}, "ana", kHead + row("", "", "") + footer("ana")},
        {{}, nullptr, kHead + footer("")},
        {{}, "", kHead + footer("")},
    };
    for (const Case& c : cases) {
        user = c.user;
        early = &c == &cases[0];
        EXPECT_EQ(list(c.notes, listing_render), c.body) << c.notes.size();
        EXPECT_EQ(list(c.notes, listing_show), "<cls>" + c.body) << c.notes.size();
        // The clock is read once, after the rows ("<cls>" is 5 bytes).
        const long rows_end = long(c.body.rfind(std::string(71, '*'))) + 5;
        EXPECT_EQ(clock_reads, std::vector<long>{rows_end}) << c.notes.size();
    }
    user = "ana";
    early = false;
}

// What stands in the working directory under the report's name beforehand.
enum Blocker { NONE, DIRECTORY, FULL_DISK };

TEST(Listing, ReportFilesAndPrinting) {
    const std::string one = kHead + row("Cita", "14:30", "Dentista") + footer("ana");
    struct Case {
        void (*cmd)(FILE*, const Consola*, const Notas*, const char*);
        const char* file;
        Blocker blocker;
        int runs, print_result;
        std::string output;
        int prints;
    } cases[] = {
        {listing_export, "MiListaNotas.txt", NONE, 1, 0, "", 0},
        {listing_export, "MiListaNotas.txt", NONE, 2, 0, "", 0},  // truncated, not appended
        {listing_export, "MiListaNotas.txt", DIRECTORY, 1, 0, "No se pudo crear MiListaNotas.txt\n",
         0},
        {listing_export, "MiListaNotas.txt", FULL_DISK, 1, 0,
         "No se pudo escribir MiListaNotas.txt\n", 0},
        {listing_print, "ListaNotas.txt", NONE, 1, 0, "", 1},
        {listing_print, "ListaNotas.txt", NONE, 2, 0, "", 2},
        {listing_print, "ListaNotas.txt", NONE, 1, -1, "No se pudo imprimir ListaNotas.txt\n", 1},
        {listing_print, "ListaNotas.txt", DIRECTORY, 1, 0, "No se pudo crear ListaNotas.txt\n", 0},
        {listing_print, "ListaNotas.txt", FULL_DISK, 1, 0, "No se pudo escribir ListaNotas.txt\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " blocker " + std::to_string(c.blocker) + " runs " +
                     std::to_string(c.runs));
        ScratchDir scratch;
        if (c.blocker == DIRECTORY) {
            ASSERT_EQ(mkdir(c.file, 0755), 0);
        }
        if (c.blocker == FULL_DISK) {
            ASSERT_EQ(symlink("/dev/full", c.file), 0);
        }
        std::string output;
        int all_prints = 0;
        for (int k = 0; k < c.runs; k++) {
            print_result = c.print_result;
            output += list({{"Cita", "14:30", "Dentista"}}, c.cmd);
            all_prints += prints;
        }
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(all_prints, c.prints);
        // The printing command finds the whole list, already closed.
        if (c.prints > 0) {
            EXPECT_EQ(printed, one);
        }
        struct stat st;
        ASSERT_EQ(lstat(c.file, &st), 0);
        if (c.blocker == NONE) {
            EXPECT_EQ(read_file(c.file), one);
        }
        if (c.blocker == DIRECTORY) {
            EXPECT_TRUE(S_ISDIR(st.st_mode));
        }
        // Each option writes only its own file.
        std::string other = c.cmd == listing_print ? "MiListaNotas.txt" : "ListaNotas.txt";
        EXPECT_NE(lstat(other.c_str(), &st), 0);
    }
}

// The footer's name: USERNAME, then USER, then LOGNAME, then the account.
TEST(Listing, UserNameFallsBackInOrder) {
    const struct passwd* account = getpwuid(geteuid());
    ASSERT_NE(account, nullptr);
    const std::string mine = account->pw_name;
    const std::string long_name(300, 'u');
    struct Case {
        const char *username, *user, *logname;
        std::string expected;
    } cases[] = {
        {"ana", "bob", "eva", "ana"},
        {nullptr, "bob", "eva", "bob"},
        {"", "bob", "eva", "bob"},
        {nullptr, nullptr, "eva", "eva"},
        {"", "", "", mine},
        {nullptr, nullptr, nullptr, mine},
        {long_name.c_str(), nullptr, nullptr, long_name.substr(0, 255)},
    };
    const char* names[] = {"USERNAME", "USER", "LOGNAME"};
    auto put = [](const char* name, const char* value) {
        value ? setenv(name, value, 1) : unsetenv(name);
    };
    std::vector<std::string> saved;
    for (const char* name : names) saved.push_back(getenv(name) ? getenv(name) : "\1");
    for (const Case& c : cases) {
        const char* values[] = {c.username, c.user, c.logname};
        for (int k = 0; k < 3; k++) put(names[k], values[k]);
        EXPECT_EQ(console_user_name(), c.expected) << (c.username ? c.username : "(unset)");
    }
    for (int k = 0; k < 3; k++) put(names[k], saved[k] == "\1" ? nullptr : saved[k].c_str());
}
