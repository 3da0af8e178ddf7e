// The saved-notes file: what save writes on disk, what load and import take
// back, and what each says when the disk or the table stands in the way.
// Sessions of the real program cover the rest (tests/e2e).
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

// The notes of `t`, once every byte outside them is seen untouched.
NoteList notes_of(const Notes& t) {
    NoteList notes;
    for (int k = 0; k < t.indN && k < MAX_NOTES; k++)
        notes.push_back({t.TitNot[k], t.hora[k], t.descr[k]});
    const Notes clean = make_table(notes);
    EXPECT_EQ(memcmp(&t, &clean, sizeof t), 0) << "a byte outside the notes changed";
    return notes;
}

NoteList numbered(int count) {
    NoteList notes;
    for (int k = 1; k <= count; k++)
        notes.push_back({"Nota " + std::to_string(k), std::to_string(k) + ":00", "d"});
    return notes;
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

// Each case is a file and the notes it holds. Every case saves its notes; a
// saved case then compares the file and loads it back, a round trip, while the
// others load a hand-written file in its place. Loading appends the notes to
// `already` numbered ones.
TEST(SavedNotes, SaveWritesEachFieldWithOneHyphenAndLoadTakesWholeLinesBack) {
    const std::string n99 = std::string(98, 'n') + "-", t99 = "-" + std::string(98, 't'),
                      d199 = "Sala-" + std::string(193, 'd') + "-", x99(99, 'x'), x199(199, 'x');
    std::string ten, informe = "Revisar el informe trimestral con el equipo de ventas ",
                     proveedor = "Llamar al proveedor para confirmar la entrega de las sillas ";
    for (const Note& n : numbered(10)) ten += n[0] + "-\n" + n[1] + "-\n" + n[2] + "-\n";
    for (int k = 0; k < 2; k++) informe += informe, proveedor += proveedor;
    const std::string data = std::string(getenv("KELVRA_TEST_DATA")) + "/saved_notes/";
    auto fixture = [&](const char* name) { return read_file(data + name); };
    const Note cafe{"Cafe", "11:00", "Con Ana"}, abc{"a", "b", "c"};
    const std::string one_left = "La lista de notas esta llena: 1 notas no se cargaron\n";
    struct Case {
        std::string file;
        NoteList notes;
        bool saved = false;
        int already = 0;
        std::string before_confirmation = "";  // the full table's line
    } cases[] = {
        {"", {}, true},
        {"Cita-\n14:30-\nDentista-\n", {{"Cita", "14:30", "Dentista"}}, true},
        {ten, numbered(10), true},
        {"Pre-reunion-\n-1-\nfin--\n", {{"Pre-reunion", "-1", "fin-"}}, true},
        {n99 + "-\n" + t99 + "-\n" + d199 + "-\n", {{n99, t99, d199}}, true},
        {fixture("four_lines.txt"), {{"Cita", "14:30", "Dentista"}}},
        {fixture("description_150.txt"), {{"Informe", "10:00", informe.substr(0, 150)}, cafe}},
        {fixture("description_199.txt"), {{"Proveedor", "12:00", proveedor.substr(0, 199)}, cafe}},
        {fixture("nul_byte.txt"), {{"Ci", "14:30", "Den"}, {"\xff\xfeOtra\x80", "10:00", ""}}},
        {fixture("line_100000.txt"), {{x99, "15:00", "Larga"}, {"Corta", "16:00", "Fin"}}},
        {"a\nb\nc-", {abc}},
        {"a\rb-\r\nc-\nd-\r\ne-\nf-\r\ng-", {{"a\rb", "c", "d"}, {"e", "f", "g"}}},
        {"x" + x99 + "\nx" + x99 + "-\nx" + x199 + "-\n", {{x99, x99, x199}}},
        {"a-\nb-\nc-\nd-\ne-\nf-\ng-\n", {abc}, false, 9, one_left},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        fake_console_reset();
        Notes t = make_table(c.notes);
        EXPECT_EQ(said<saved_notes_save>(&t), "Notas guardadas correctamente\n");
        if (!c.saved) std::ofstream(kFile, std::ios::binary) << c.file;
        EXPECT_EQ(read_file(kFile), c.file);
        NoteList want = numbered(c.already);
        t = make_table(want);
        EXPECT_EQ(said<saved_notes_load>(&t),
                  c.before_confirmation + "Notas Cargadas correctamente\n");
        want.insert(want.end(), c.notes.begin(), c.notes.end());
        EXPECT_EQ(notes_of(t), want) << c.file.substr(0, 40);
    }
}

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
        EXPECT_EQ(notes_of(t).size(), 1u);
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
