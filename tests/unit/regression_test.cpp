// Inputs from fuzzing, kept for good: every seed and every input that once
// crashed a fuzz target is replayed here through the same promises the
// fuzzers check, so an ordinary test run (and its sanitizer build) catches a
// return of any of them without clang or libFuzzer. The inputs live in
// fuzz/corpus/<target>/ and fuzz/regressions/<target>/.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_console.h"
#include "main/kelvra.h"
#include "saved_notes/saved_notes.h"

namespace {

// The fuzz folder, found from this file's own place in the tree.
std::string fuzz_dir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/tests/unit/")) + "/fuzz";
}

std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> found;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return found;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') found.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
    std::sort(found.begin(), found.end());
    return found;
}

// Seeds and regression inputs of one fuzz target.
std::vector<std::string> inputs_of(const std::string& target) {
    std::vector<std::string> all = files_in(fuzz_dir() + "/corpus/" + target);
    for (const std::string& f : files_in(fuzz_dir() + "/regressions/" + target)) all.push_back(f);
    return all;
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << f.rdbuf();
    return bytes.str();
}

FILE* open_bytes(const std::string& bytes) {
    if (bytes.empty()) return fopen("/dev/null", "rb");
    return fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
}

bool all_zero(const char* cell, size_t size) {
    return std::all_of(cell, cell + size, [](char b) { return b == 0; });
}

bool cell_ok(const char* cell, size_t size) {
    const char* end = static_cast<const char*>(memchr(cell, '\0', size));
    return end != nullptr && std::find(cell, end, '\n') == end;
}

// What every command promises for any input: the count within the table,
// every filled cell terminated and free of line ends, and no row past
// `last_touched` written at all.
void expect_table_sound(const Notas& t, int last_touched, const std::string& what) {
    ASSERT_GE(t.indN, 0) << what;
    ASSERT_LE(t.indN, MAX_NOTES) << what;
    for (int row = 0; row < MAX_NOTES; row++) {
        if (row <= last_touched) {
            EXPECT_TRUE(cell_ok(t.TitNot[row], NAME_CELL)) << what << " row " << row;
            EXPECT_TRUE(cell_ok(t.hora[row], TIME_CELL)) << what << " row " << row;
            EXPECT_TRUE(cell_ok(t.descr[row], DESC_CELL)) << what << " row " << row;
        } else {
            EXPECT_TRUE(all_zero(t.TitNot[row], NAME_CELL)) << what << " row " << row;
            EXPECT_TRUE(all_zero(t.hora[row], TIME_CELL)) << what << " row " << row;
            EXPECT_TRUE(all_zero(t.descr[row], DESC_CELL)) << what << " row " << row;
        }
    }
}

// Lines as the reader counts them: a last line without a line end counts.
int complete_groups(const std::string& bytes) {
    size_t lines = std::count(bytes.begin(), bytes.end(), '\n');
    if (!bytes.empty() && bytes.back() != '\n') lines++;
    return static_cast<int>(lines / 3);
}

Notas table;

void run_menu(FILE* in, FILE* out, void*) {
    menu_run(in, out, fake_console_reset(), &table, "ana");
}

}  // namespace

TEST(Regression, FuzzInputsRunThroughTheWholeDialog) {
    const std::vector<std::string> inputs = inputs_of("dialog");
    ASSERT_GE(inputs.size(), 5u) << "no dialog inputs under " << fuzz_dir();
    for (const std::string& path : inputs) {
        ScratchDir scratch;
        // Option 8 finds a saved file in the user's documents folder.
        const std::string docs = scratch.path + "/home/Documents/Kelvra";
        std::filesystem::create_directories(docs);
        std::ofstream(docs + "/NotasGuardadas.txt") << "Cita-\n14:30-\nDentista-\n";
        const char* old = getenv("USERPROFILE");
        const std::string saved_profile = old != nullptr ? old : "";
        setenv("USERPROFILE", (scratch.path + "/home").c_str(), 1);

        memset(&table, 0, sizeof table);
        std::string out = run_with_streams(read_file(path), run_menu, nullptr);

        if (old != nullptr)
            setenv("USERPROFILE", saved_profile.c_str(), 1);
        else
            unsetenv("USERPROFILE");
        // Row indN may hold the first answers of a note cut short.
        expect_table_sound(table, table.indN, path);
        ASSERT_FALSE(out.empty()) << path;
        EXPECT_EQ(out.back(), '\n') << path << ": no orderly end";
    }
}

TEST(Regression, FuzzInputsReadAsSavedNotes) {
    const std::vector<std::string> inputs = inputs_of("reader");
    ASSERT_GE(inputs.size(), 5u) << "no reader inputs under " << fuzz_dir();
    for (const std::string& path : inputs) {
        const std::string bytes = read_file(path);
        Notas first{};
        int not_loaded = -1;
        FILE* f = open_bytes(bytes);
        ASSERT_NE(f, nullptr);
        int added = saved_notes_read(f, &first, &not_loaded);
        fclose(f);
        EXPECT_EQ(added, first.indN) << path;
        EXPECT_EQ(added + not_loaded, complete_groups(bytes)) << path;
        expect_table_sound(first, first.indN - 1, path);

        // Saved and read back, the same notes come out.
        char* saved = nullptr;
        size_t size = 0;
        FILE* w = open_memstream(&saved, &size);
        ASSERT_EQ(saved_notes_write(w, &first), 0) << path;
        fclose(w);
        std::string again_bytes(saved, size);
        free(saved);
        Notas again{};
        f = open_bytes(again_bytes);
        EXPECT_EQ(saved_notes_read(f, &again, &not_loaded), first.indN) << path;
        fclose(f);
        for (int row = 0; row < first.indN; row++) {
            EXPECT_STREQ(again.TitNot[row], first.TitNot[row]) << path << " row " << row;
            EXPECT_STREQ(again.hora[row], first.hora[row]) << path << " row " << row;
            EXPECT_STREQ(again.descr[row], first.descr[row]) << path << " row " << row;
        }
    }
}

// The reader once indexed its line buffer by the line's length: a line
// longer than the buffer read past it (found by the reader target, see
// fuzz/regressions/reader/line_longer_than_line_buffer). The lines around
// the buffer's end keep the note's cut text and never move the next note.
TEST(Regression, LinesAroundTheReadersBufferEnd) {
    const std::string x199(199, 'x');
    struct Case {
        std::string description_line;  // without its line end
        std::string stored;
    } cases[] = {
        {std::string(198, 'x') + "-", std::string(198, 'x')},
        {x199 + "-", x199},
        {std::string(200, 'x') + "-", x199},
        {x199 + "--", x199},
        {std::string(201, 'x') + "-", x199},
        {std::string(100000, 'x') + "-", x199},
        {std::string(200, 'x'), x199},
    };
    for (const Case& c : cases) {
        for (const char* line_end : {"\n", "\r\n"}) {
            const std::string le = line_end;
            const std::string bytes = "Cita-" + le + "14:30-" + le + c.description_line + le +
                                      "Otra-" + le + "10:00-" + le + "fin-" + le;
            Notas t{};
            int not_loaded = -1;
            FILE* f = open_bytes(bytes);
            EXPECT_EQ(saved_notes_read(f, &t, &not_loaded), 2) << c.description_line.size();
            fclose(f);
            EXPECT_EQ(not_loaded, 0);
            EXPECT_STREQ(t.descr[0], c.stored.c_str()) << c.description_line.size();
            EXPECT_STREQ(t.TitNot[1], "Otra") << c.description_line.size();
            EXPECT_STREQ(t.hora[1], "10:00") << c.description_line.size();
            EXPECT_STREQ(t.descr[1], "fin") << c.description_line.size();
        }
    }

    // The input the fuzzer found: a first line with a NUL at its start, a
    // second of 198 bytes with no field end, then short lines.
    const std::string found =
        read_file(fuzz_dir() + "/regressions/reader/line_longer_than_line_buffer");
    ASSERT_EQ(found.size(), 256u);
    Notas t{};
    int not_loaded = -1;
    FILE* f = open_bytes(found);
    EXPECT_EQ(saved_notes_read(f, &t, &not_loaded), 3);
    fclose(f);
    EXPECT_STREQ(t.TitNot[0], "");
    EXPECT_EQ(std::string(t.hora[0]), found.substr(11, TIME_CELL - 1));
    EXPECT_STREQ(t.descr[0], "14:04");
    EXPECT_STREQ(t.TitNot[2], "d5");
    EXPECT_STREQ(t.hora[2], "n6");
    EXPECT_EQ(std::string(t.descr[2]), found.substr(found.size() - 16));
}
