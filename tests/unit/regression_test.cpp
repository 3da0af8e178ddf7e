// Inputs from fuzzing, kept for good: every seed and every input that once
// broke a fuzz target (fuzz/corpus/<target>/, fuzz/regressions/<target>/) is
// replayed by an ordinary test run, so its sanitizer build catches a return
// of any of them without clang or libFuzzer.
#include <gtest/gtest.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_console.h"
#include "main/menu.h"
#include "saved_notes/saved_notes.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << f.rdbuf();
    return bytes.str();
}

// Every filled cell is terminated and holds no line end.
void expect_cells_sound(const Notes& t, const std::string& what) {
    ASSERT_GE(t.indN, 0) << what;
    ASSERT_LE(t.indN, MAX_NOTES) << what;
    for (int row = 0; row < t.indN; row++) {
        for (const char* cell : {t.TitNot[row], t.hora[row], t.descr[row]}) {
            size_t size = cell == t.descr[row] ? DESC_CELL : NAME_CELL;
            const char* end = static_cast<const char*>(memchr(cell, '\0', size));
            ASSERT_NE(end, nullptr) << what << " row " << row;
            EXPECT_EQ(memchr(cell, '\n', end - cell), nullptr) << what << " row " << row;
        }
    }
}

Notes table;

void run_menu(FILE* in, FILE* out, void*) {
    menu_run(in, out, fake_console_reset(), &table, "ana");
}

void read_saved(FILE* in, FILE*, void* not_loaded) {
    saved_notes_read(in, fake_console_reset(), &table, static_cast<int*>(not_loaded));
}

}  // namespace

TEST(Regression, FuzzInputsKeepTheTableSound) {
    const fs::path fuzz = fs::path(__FILE__).parent_path().parent_path().parent_path() / "fuzz";
    int replayed = 0;
    for (const char* folder :
         {"corpus/dialog", "regressions/dialog", "corpus/reader", "regressions/reader"}) {
        if (!fs::exists(fuzz / folder)) continue;
        const bool dialog = strstr(folder, "dialog") != nullptr;
        for (const fs::directory_entry& input : fs::directory_iterator(fuzz / folder)) {
            ScratchDir scratch;
            table = Notes{};
            int not_loaded = -1;
            std::string out = run_with_streams(read_file(input.path()),
                                               dialog ? run_menu : read_saved, &not_loaded);
            expect_cells_sound(table, input.path().string());
            if (dialog) {
                EXPECT_EQ(out.back(), '\n') << input.path() << ": no orderly end";
            } else {
                EXPECT_GE(not_loaded, 0) << input.path();
            }
            replayed++;
        }
    }
    EXPECT_GE(replayed, 10);
}

// The reader once indexed its line buffer by the line's length, so a line
// longer than the buffer read past it. Lines around the buffer's end keep the
// note's text, cut to its cell, and never move the next note.
TEST(Regression, LinesAroundTheReadersBufferEnd) {
    const std::string x199(199, 'x');
    for (size_t len : {198u, 199u, 200u, 201u, 100000u}) {
        for (const std::string le : {"\n", "\r\n"}) {
            const std::string bytes = "Cita-" + le + "14:30-" + le + std::string(len, 'x') + "-" +
                                      le + "Otra-" + le + "10:00-" + le + "fin-" + le;
            table = Notes{};
            int not_loaded = -1;
            run_with_streams(bytes, read_saved, &not_loaded);
            EXPECT_EQ(table.indN, 2) << len;
            EXPECT_EQ(std::string(table.descr[0]), std::string(len < 199 ? len : 199, 'x')) << len;
            EXPECT_STREQ(table.TitNot[1], "Otra") << len;
            EXPECT_STREQ(table.descr[1], "fin") << len;
        }
    }
}
