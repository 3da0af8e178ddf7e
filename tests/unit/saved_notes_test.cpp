// The saved-notes commands where the system fails them, through the fake
// console; sessions of the real program cover the file itself (tests/e2e).
#include "saved_notes/saved_notes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fake_console.h"

namespace fs = std::filesystem;

namespace {

const std::string kFile = "NotasGuardadas.txt";

using Note = std::vector<std::string>;  // name, time, description
using NoteList = std::vector<Note>;

// At most 2 MiB, so a name wrongly left pointing at a device cannot hang.
std::string read_file(const std::string& path) {
    std::string bytes(2 << 20, '\0');
    bytes.resize(std::ifstream(path, std::ios::binary).read(&bytes[0], bytes.size()).gcount());
    return bytes;
}

// Unused bytes are all 'Z', so a write past a cell or a row shows.
Notes make_table(const NoteList& notes) {
    Notes t;
    memset(&t, 'Z', sizeof t);
    t.indN = 0;
    for (const Note& n : notes) {
        notes_copy_cell(t.TitNot[t.indN], NAME_CELL, n[0].c_str());
        notes_copy_cell(t.hora[t.indN], TIME_CELL, n[1].c_str());
        notes_copy_cell(t.descr[t.indN++], DESC_CELL, n[2].c_str());
    }
    return t;
}

// What `command` (save, load or import) prints for table `t`.
template <auto command>
std::string said(Notes* t) {
    auto run = [](FILE*, FILE* out, void* table) {
        command(out, &fake_console().ops, static_cast<Notes*>(table));
    };
    return run_with_streams("", run, t);
}

}  // namespace

// A save that fails at any step through the system leaves the previous file
// as it was and no temporary file of its own behind; an import with no user folder says
// so and adds nothing.
TEST(SavedNotes, FailuresOfTheSystemAreReportedAndTouchNothing) {
    const std::string previous = "Vieja-\n08:00-\nNo tocar-\n";
    const std::string no_save = "No se pudieron guardar las notas\n";
    struct Case {
        bool temp_fails;
        int sync, replace;
        const char* home;
        bool import;
        std::string output;
    } cases[] = {
        {true, DONE, DONE, "/nonexistent", false, no_save},
        {false, CALL_FAILED, DONE, "/nonexistent", false, no_save},
        {false, DONE, CALL_FAILED, "/nonexistent", false, no_save},
        {false, DONE, DONE, "", true, "No se encontro la carpeta del usuario\n"},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        std::ofstream(kFile, std::ios::binary) << previous;
        fake_console_reset();
        fake_console().temp_fails = c.temp_fails;
        fake_console().sync_result = c.sync;
        fake_console().replace_result = c.replace;
        fake_console().home = c.home;
        Notes t = make_table({{"Nueva", "09:00", "Otra"}});
        EXPECT_EQ(c.import ? said<saved_notes_import>(&t) : said<saved_notes_save>(&t), c.output);
        EXPECT_EQ(read_file(kFile), previous);
        EXPECT_EQ(t.indN, 1);
        EXPECT_EQ(table_fault(t, 'Z', false), nullptr);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
    }
}

// Each import builds its location from the user folder as it is then, and
// refuses one too long for its buffer rather than open it cut short.
TEST(SavedNotes, ImportLooksWhereTheUserFolderIsNowAndNeverCutsItsLocation) {
    ScratchDir scratch;
    // Cut to the buffer's 4095 bytes, this location would name a real file.
    std::string folder = scratch.path;
    while (folder.size() + 203 < 4093) folder += "/" + std::string(200, 'd');
    folder += "/" + std::string(4093 - folder.size() - 1, 'e');
    fs::create_directories(folder);
    std::ofstream(folder + "/D") << "Cita-\n14:30-\nDentista-\n";
    struct Case {
        std::string folder, output;
    } cases[] = {
        {folder, "No se pudo abrir " + folder + "/D\n"},
        {scratch.path, "No se pudo abrir " + scratch.path + "/Documents/Kelvra/" + kFile + "\n"},
    };
    Notes t = make_table({});
    fake_console_reset();
    for (const Case& c : cases) {
        fake_console().home = c.folder;
        EXPECT_EQ(said<saved_notes_import>(&t), c.output);
    }
    EXPECT_EQ(t.indN, 0);
}
