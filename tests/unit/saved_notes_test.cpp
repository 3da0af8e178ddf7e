// Where the import looks: sessions of the real program cover the saved file
// itself and the saves the system fails (tests/e2e).
#include "saved_notes/saved_notes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// Each import builds its location from the user's folder as it is then, and
// refuses one too long for its buffer rather than open it cut short; a refused
// import leaves the table as it was.
TEST(SavedNotes, ImportLooksWhereTheUserFolderIsNowAndNeverCutsItsLocation) {
    char name[] = "/tmp/kelvra-test-XXXXXX";
    const std::string base = mkdtemp(name);
    // Cut to the buffer's 4095 bytes, this location would name a real file.
    std::string folder = base;
    while (folder.size() + 203 < 4093) folder += "/" + std::string(200, 'd');
    folder += "/" + std::string(4093 - folder.size() - 1, 'e');
    fs::create_directories(folder);
    std::ofstream(folder + "/D") << "Cita-\n14:30-\nDentista-\n";
    Notes before;  // unused bytes are all 'Z', so a write past a cell or a row shows
    memset(&before, 'Z', sizeof before);
    before.indN = 1;
    utf8_copy(before.TitNot[0], NAME_CELL, "Nueva");
    utf8_copy(before.hora[0], TIME_CELL, "09:00");
    utf8_copy(before.descr[0], DESC_CELL, "Otra");
    unsetenv("USERPROFILE");
    struct Case {
        std::string home, output;
    } cases[] = {
        {folder, "No se pudo abrir " + folder + "/D\n"},
        {base, "No se pudo abrir " + base + "/Documents/Kelvra/NotasGuardadas.txt\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        setenv("HOME", c.home.c_str(), 1);
        Notes t = before;
        char* said = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&said, &size);
        saved_notes_import(out, console_system(), &t);
        fclose(out);
        EXPECT_EQ(std::string(said, size), c.output);
        free(said);
        EXPECT_EQ(memcmp(&t, &before, sizeof t), 0);
    }
    fs::remove_all(base);
}
