// The saved-notes commands where the system fails them; sessions of the real
// program cover the file itself (tests/e2e).
#include "saved_notes/saved_notes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

// A save that fails at any step through the system leaves the previous file
// as it was and no temporary file of its own behind. Each import builds its
// location from the user's folder as it is then, and refuses one too long for
// its buffer rather than open it cut short. Neither touches the table.
TEST(SavedNotes, FailuresOfTheSystemAreReportedAndTouchNothing) {
    Console no_temp = *console_system(), no_sync = no_temp, no_replace = no_temp;
    no_temp.create_temp_file = [](const char*, char*, size_t) -> FILE* { return nullptr; };
    no_sync.sync_file = [](FILE*) -> int { return CALL_FAILED; };
    no_replace.replace_file = [](const char*, const char*) -> int { return CALL_FAILED; };
    char name[] = "/tmp/kelvra-test-XXXXXX";
    const std::string base = mkdtemp(name), previous = "Vieja-\n08:00-\nNo tocar-\n";
    fs::create_directory(base + "/work");
    fs::current_path(base + "/work");
    // Cut to the buffer's 4095 bytes, this location would name a real file.
    std::string folder = base;
    while (folder.size() + 203 < 4093) folder += "/" + std::string(200, 'd');
    folder += "/" + std::string(4093 - folder.size() - 1, 'e');
    fs::create_directories(folder);
    std::ofstream(folder + "/D") << "Cita-\n14:30-\nDentista-\n";
    Notes before;  // unused bytes are all 'Z', so a write past a cell or a row shows
    memset(&before, 'Z', sizeof before);
    before.indN = 1;
    notes_copy_cell(before.TitNot[0], NAME_CELL, "Nueva");
    notes_copy_cell(before.hora[0], TIME_CELL, "09:00");
    notes_copy_cell(before.descr[0], DESC_CELL, "Otra");
    unsetenv("USERPROFILE");
    const std::string no_save = "No se pudieron guardar las notas\n";
    struct Case {
        const Console* save;  // a save through these services, else an import
        std::string home, output;
    } cases[] = {
        {&no_temp, "", no_save},
        {&no_sync, "", no_save},
        {&no_replace, "", no_save},
        {nullptr, folder, "No se pudo abrir " + folder + "/D\n"},
        {nullptr, base, "No se pudo abrir " + base + "/Documents/Kelvra/NotasGuardadas.txt\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::ofstream("NotasGuardadas.txt", std::ios::binary) << previous;
        setenv("HOME", c.home.c_str(), 1);
        Notes t = before;
        char* said = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&said, &size);
        c.save ? saved_notes_save(out, c.save, &t) : saved_notes_import(out, console_system(), &t);
        fclose(out);
        EXPECT_EQ(std::string(said, size), c.output);
        free(said);
        // At most 2 MiB, so a name wrongly left pointing at a device cannot hang.
        std::string bytes(2 << 20, '\0');
        bytes.resize(std::ifstream("NotasGuardadas.txt").read(&bytes[0], bytes.size()).gcount());
        EXPECT_EQ(bytes, previous);
        EXPECT_EQ(memcmp(&t, &before, sizeof t), 0);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
    }
    fs::current_path("/");
    fs::remove_all(base);
}
