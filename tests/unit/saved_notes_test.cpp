// The saved-notes file: what save writes on disk, what load and import take
// back, and what each does when the file or the table stands in the way.
#include "saved_notes/saved_notes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fake_console.h"

namespace fs = std::filesystem;

namespace {

const std::string kSaved = "Notas guardadas correctamente\n";
const std::string kNotSaved = "No se pudieron guardar las notas\n";
const std::string kLoaded = "Notas Cargadas correctamente\n";
const std::string kImported = "Notas Importadas correctamente\n";
const std::string kFull = "La lista de notas esta llena: ";
const std::string kFile = "NotasGuardadas.txt";
const std::string kTemp = "NotasGuardadas.txt.tmp";
const std::string kInDocs = "/Documents/Kelvra/NotasGuardadas.txt";

using Note = std::array<std::string, 3>;  // name, time, description
using Notes = std::vector<Note>;

std::string fixture(const std::string& name) {
    return std::string(getenv("KELVRA_TEST_DATA")) + "/saved_notes/" + name;
}

// At most 2 MiB, so a name wrongly left pointing at a device cannot hang.
std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string bytes(2 << 20, '\0');
    f.read(&bytes[0], bytes.size());
    bytes.resize(f.gcount());
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A table whose unused bytes are all 'Z', so a write past a cell or a row
// shows up in a byte-for-byte comparison.
Notas make_table(const Notes& notes) {
    Notas t;
    memset(&t, 'Z', sizeof t);
    t.indN = 0;
    for (const Note& n : notes) {
        copiar_celda(t.TitNot[t.indN], NAME_CELL, n[0].c_str());
        copiar_celda(t.hora[t.indN], TIME_CELL, n[1].c_str());
        copiar_celda(t.descr[t.indN], DESC_CELL, n[2].c_str());
        t.indN++;
    }
    return t;
}

Notes notes_of(const Notas& t) {
    Notes notes;
    for (int k = 0; k < t.indN; k++) notes.push_back({t.TitNot[k], t.hora[k], t.descr[k]});
    return notes;
}

bool same_bytes(const Notas& a, const Notas& b) {
    return memcmp(&a, &b, sizeof a) == 0;
}

Notes numbered(int from, int to) {
    Notes notes;
    for (int k = from; k <= to; k++) {
        char time[16];
        snprintf(time, sizeof time, "%02d:00", (k + 8) % 24);
        notes.push_back({"Nota " + std::to_string(k), time, "Descripcion " + std::to_string(k)});
    }
    return notes;
}

std::string output_of(const std::function<void(FILE*)>& command) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    command(out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

std::string save(Notas* t) {
    return output_of([t](FILE* out) { saved_notes_save(out, t); });
}
std::string load(Notas* t) {
    return output_of([t](FILE* out) { saved_notes_load(out, t); });
}
std::string import_notes(Notas* t) {
    return output_of([t](FILE* out) { saved_notes_import(out, t); });
}

// Sets HOME and USERPROFILE for one case ("@" stands for `dir`, null unsets)
// and puts the test runner's own values back afterwards.
struct UserFolders {
    const char* names[2] = {"HOME", "USERPROFILE"};
    bool had[2] = {getenv("HOME") != nullptr, getenv("USERPROFILE") != nullptr};
    std::string values[2] = {had[0] ? getenv("HOME") : "", had[1] ? getenv("USERPROFILE") : ""};
    ~UserFolders() {
        for (int k = 0; k < 2; k++) set(names[k], had[k] ? values[k].c_str() : nullptr, "");
    }
    static void set(const char* name, const char* value, const std::string& dir) {
        if (value == nullptr) return (void)unsetenv(name);
        std::string v = value;
        if (!dir.empty() && v.find('@') != std::string::npos) v.replace(v.find('@'), 1, dir);
        setenv(name, v.c_str(), 1);
    }
};

}  // namespace

TEST(SavedNotes, SaveWritesTheFileByteForByteAndLoadGivesEveryNoteBack) {
    const std::string n99 = std::string(98, 'n') + "-", t99 = "-" + std::string(98, 't'),
                      d199 = "Sala-" + std::string(193, 'd') + "-";
    std::string ten_file;
    for (const Note& n : numbered(1, 10)) ten_file += n[0] + "-\n" + n[1] + "-\n" + n[2] + "-\n";
    struct Case {
        Notes notes;
        std::string file;
    } cases[] = {
        {{}, ""},
        {{{"Cita", "14:30", "Dentista"}}, "Cita-\n14:30-\nDentista-\n"},
        {numbered(1, 10), ten_file},
        {{{"Pre-reunion", "-14:30", "fin-"}, {"-", "--", "a-b-c"}},
         "Pre-reunion-\n-14:30-\nfin--\n--\n---\na-b-c-\n"},
        {{{"", "", ""}}, "-\n-\n-\n"},
        {{{n99, t99, d199}}, n99 + "-\n" + t99 + "-\n" + d199 + "-\n"},
        {{{"a\r", "\xff\xfe", "tab\there"}}, "a\r-\n\xff\xfe-\ntab\there-\n"},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        Notas t = make_table(c.notes);
        const Notas before = t;
        EXPECT_EQ(save(&t), kSaved) << c.file;
        EXPECT_EQ(save(&t), kSaved) << c.file;
        EXPECT_EQ(read_file(kFile), c.file);
        EXPECT_TRUE(same_bytes(t, before)) << c.file;
        EXPECT_FALSE(fs::exists(kTemp)) << c.file;

        // Loading appends: the second load holds every note twice.
        Notas back = make_table({});
        Notes twice = c.notes;
        twice.insert(twice.end(), c.notes.begin(), c.notes.end());
        twice.resize(std::min<size_t>(twice.size(), MAX_NOTES));
        EXPECT_EQ(load(&back), kLoaded) << c.file;
        EXPECT_EQ(notes_of(back), c.notes) << c.file;
        load(&back);
        EXPECT_EQ(notes_of(back), twice) << c.file;
        EXPECT_TRUE(same_bytes(back, make_table(twice))) << c.file;
    }
}

TEST(SavedNotes, HandWrittenFilesLoad) {
    std::string d150, d199;
    for (int k = 0; k < 4; k++) {
        d150 += "Revisar el informe trimestral con el equipo de ventas ";
        d199 += "Llamar al proveedor para confirmar la entrega de las sillas ";
    }
    d150.resize(150);
    d199.resize(199);
    const Note cafe{"Cafe", "11:00", "Con Ana"};
    const Notes two = {{"Cita", "14:30", "Dentista"},
                       {"Pre-reunion", "09:05", "Sala-3 con -guion"}};
    struct Case {
        const char* file;
        Notes notes;
    } cases[] = {
        {"two_notes_lf.txt", two},
        {"two_notes_crlf.txt", two},
        {"four_lines.txt", {{"Cita", "14:30", "Dentista"}}},
        {"description_150.txt", {{"Informe", "10:00", d150}, cafe}},
        {"description_199.txt", {{"Proveedor", "12:00", d199}, cafe}},
        {"nul_byte.txt", {{"Ci", "14:30", "Den"}, {"\xff\xfeOtra\x80", "10:00", ""}}},
        {"line_100000.txt", {{std::string(99, 'x'), "15:00", "Larga"}, {"Corta", "16:00", "Fin"}}},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        fs::copy_file(fixture(c.file), kFile);
        const std::string bytes = read_file(kFile);
        Notas t = make_table({});
        EXPECT_EQ(load(&t), kLoaded) << c.file;
        EXPECT_EQ(notes_of(t), c.notes) << c.file;
        EXPECT_TRUE(same_bytes(t, make_table(c.notes))) << c.file;
        EXPECT_EQ(read_file(kFile), bytes) << c.file;
        // A group cut short by the end of the file never reaches the next load.
        load(&t);
        EXPECT_EQ(t.indN, 2 * (int)c.notes.size()) << c.file;
        EXPECT_EQ(notes_of(t).back(), c.notes.back()) << c.file;
    }
}

TEST(SavedNotes, ReaderTakesAnyBytesWithinTheCells) {
    const std::string mega(1000000, 'm');
    struct Case {
        std::string bytes;
        Notes notes;
    } cases[] = {
        {"", {}},
        {"a-\n", {}},
        {"a-\nb-\n", {}},
        {"a-\nb-\nc-", {{"a", "b", "c"}}},
        {"a\nb\nc\n", {{"a", "b", "c"}}},
        {"a--\n-b-\n-\n", {{"a-", "-b", ""}}},
        {"a-\r\nb-\r\nc-\r\n", {{"a", "b", "c"}}},
        {"a-\r\nb-\nc-\r\nd-\ne-\r\nf-", {{"a", "b", "c"}, {"d", "e", "f"}}},
        {"a\rb-\nc-\nd-\n", {{"a\rb", "c", "d"}}},
        {"\n\n\n", {{"", "", ""}}},
        {std::string("\0-\nx\0y-\n\0\0\0\n", 12), {{"", "x", ""}}},
        {std::string(100, 'n') + "-\n" + std::string(100, 't') + "-\n" + std::string(200, 'd') +
             "-\n",
         {{std::string(99, 'n'), std::string(99, 't'), std::string(199, 'd')}}},
        {mega + "\n" + mega + "-\n" + mega + "\nok-\nok-\nok-\n",
         {{std::string(99, 'm'), std::string(99, 'm'), std::string(199, 'm')}, {"ok", "ok", "ok"}}},
    };
    for (const Case& c : cases) {
        FILE* in = c.bytes.empty()
                       ? fopen("/dev/null", "r")
                       : fmemopen(const_cast<char*>(c.bytes.data()), c.bytes.size(), "r");
        Notas t = make_table({});
        int not_loaded = -1;
        EXPECT_EQ(saved_notes_read(in, &t, &not_loaded), (int)c.notes.size());
        fclose(in);
        EXPECT_EQ(not_loaded, 0);
        EXPECT_EQ(notes_of(t), c.notes) << c.bytes.substr(0, 40);
        EXPECT_TRUE(same_bytes(t, make_table(c.notes))) << c.bytes.substr(0, 40);
    }
}

TEST(SavedNotes, AFullTableTakesNoMoreAndSaysHowManyWereLeft) {
    const std::string twelve = read_file(fixture("twelve_notes.txt"));
    const std::string two = read_file(fixture("two_notes_lf.txt"));
    const Notes two_notes = {{"Cita", "14:30", "Dentista"},
                             {"Pre-reunion", "09:05", "Sala-3 con -guion"}};
    struct Case {
        int already, added;
        std::string file, output;
        Notes in_file;
    } cases[] = {
        {0, 10, twelve, kFull + "2 notas no se cargaron\n" + kLoaded, numbered(1, 12)},
        {9, 1, twelve, kFull + "11 notas no se cargaron\n" + kLoaded, numbered(1, 12)},
        {10, 0, twelve, kFull + "12 notas no se cargaron\n" + kLoaded, {}},
        {10, 0, twelve + "Suelta-\n12:00-\n", kFull + "12 notas no se cargaron\n" + kLoaded, {}},
        {9, 1, two, kFull + "1 notas no se cargaron\n" + kLoaded, two_notes},
        {8, 2, two, kLoaded, two_notes},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        write_file(kFile, c.file);
        Notas t = make_table(numbered(101, 100 + c.already));
        EXPECT_EQ(load(&t), c.output) << c.already;
        // The rows already there stay; the first notes of the file follow.
        Notes want = numbered(101, 100 + c.already);
        want.insert(want.end(), c.in_file.begin(), c.in_file.begin() + c.added);
        EXPECT_EQ(notes_of(t), want) << c.already;
        EXPECT_TRUE(same_bytes(t, make_table(want))) << c.already;
    }
}

TEST(SavedNotes, SaveFailureLeavesThePreviousFileAsItWas) {
    const std::string previous = "Vieja-\n08:00-\nNo tocar-\n";
    struct Case {
        std::string blocked;  // what stands in the way: a folder or a full disk
        bool folder;
    } cases[] = {{kTemp, true}, {kFile, true}, {kTemp, false}};
    for (const Case& c : cases) {
        ScratchDir scratch;
        write_file(kFile, previous);
        if (c.folder) {
            fs::remove(c.blocked);
            fs::create_directory(c.blocked);
            write_file(c.blocked + "/dentro", "x");
        } else {
            fs::create_symlink("/dev/full", c.blocked);
        }
        Notas t = make_table({{"Nueva", "09:00", "Otra"}});
        EXPECT_EQ(save(&t), kNotSaved) << c.blocked;
        EXPECT_EQ(read_file(c.blocked == kFile ? kFile + "/dentro" : kFile),
                  c.blocked == kFile ? "x" : previous);
        // Only a temporary file of our own is removed.
        EXPECT_EQ(fs::exists(fs::symlink_status(kTemp)), c.blocked == kTemp && c.folder);
    }
    // The writer itself reports a stream that takes nothing.
    FILE* full = fopen("/dev/full", "w");
    setvbuf(full, nullptr, _IONBF, 0);
    Notas t = make_table({{"a", "b", "c"}});
    EXPECT_EQ(saved_notes_write(full, &t), -1);
    fclose(full);
}

TEST(SavedNotes, LoadAndImportFindTheirFileOrSayWhyNot) {
    UserFolders restore;
    const std::string two = read_file(fixture("two_notes_crlf.txt"));
    const Notes before = {{"Ya", "08:00", "estaba"}};
    struct Case {
        std::string (*command)(Notas*);
        const char *home, *profile;
        std::string output;  // "@" stands for the scratch folder
        std::vector<std::string> names;
    } cases[] = {
        {load, "@/casa", nullptr, "No se pudo abrir NotasGuardadas.txt\n", {"Ya"}},
        {import_notes, "@/casa", nullptr, kImported, {"Ya", "Cita", "Pre-reunion"}},
        {import_notes, nullptr, "@/perfil", kImported, {"Ya", "Perfil"}},
        {import_notes, "@/casa", "@/perfil", kImported, {"Ya", "Perfil"}},
        {import_notes, "@/casa", "", kImported, {"Ya", "Cita", "Pre-reunion"}},
        {import_notes, nullptr, nullptr, "No se encontro la carpeta del usuario\n", {"Ya"}},
        {import_notes, "", "", "No se encontro la carpeta del usuario\n", {"Ya"}},
        {import_notes, "@", nullptr, "No se pudo abrir @" + kInDocs + "\n", {"Ya"}},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        fs::create_directories(scratch.path + "/casa/Documents/Kelvra");
        fs::create_directories(scratch.path + "/perfil/Documents/Kelvra");
        write_file(scratch.path + "/casa" + kInDocs, two);
        write_file(scratch.path + "/perfil" + kInDocs, "Perfil-\n07:00-\nd-\n");
        UserFolders::set("HOME", c.home, scratch.path);
        UserFolders::set("USERPROFILE", c.profile, scratch.path);
        Notas t = make_table(before);
        std::string want = c.output;
        if (want.find('@') != std::string::npos) want.replace(want.find('@'), 1, scratch.path);
        EXPECT_EQ(c.command(&t), want);
        std::vector<std::string> names;
        for (const Note& n : notes_of(t)) names.push_back(n[0]);
        EXPECT_EQ(names, c.names) << want;
    }
    // A folder in place of the file is a read failure, and adds nothing.
    ScratchDir scratch;
    fs::create_directory(kFile);
    Notas t = make_table(before);
    EXPECT_EQ(load(&t), "No se pudo leer NotasGuardadas.txt\n");
    EXPECT_TRUE(same_bytes(t, make_table(before)));
    // The location follows the environment from one import to the next.
    fs::create_directories(scratch.path + "/b/Documents/Kelvra");
    write_file(scratch.path + "/b" + kInDocs, "b-\n10:00-\nd-\n");
    UserFolders::set("USERPROFILE", nullptr, "");
    UserFolders::set("HOME", "@/b", scratch.path);
    import_notes(&t);
    UserFolders::set("HOME", "@/c", scratch.path);
    EXPECT_EQ(import_notes(&t), "No se pudo abrir " + scratch.path + "/c" + kInDocs + "\n");
    EXPECT_EQ(notes_of(t), (Notes{before[0], {"b", "10:00", "d"}}));
}

// A location too long for its buffer is refused, never opened cut short: here
// the cut one would name a real saved-notes file.
TEST(SavedNotes, ImportRefusesALocationItWouldHaveToCut) {
    UserFolders restore;
    ScratchDir scratch;
    const size_t cut_at = 4095;  // what fits the location's buffer
    std::string dir = scratch.path;
    while (dir.size() + 1 + 200 + 2 < cut_at) dir += "/" + std::string(200, 'd');
    dir += "/" + std::string(cut_at - dir.size() - 1 - 2, 'e');
    fs::create_directories(dir);
    const std::string cut = dir + "/f";
    ASSERT_EQ(cut.size(), cut_at);
    write_file(cut, "Cita-\n14:30-\nDentista-\n");
    UserFolders::set("USERPROFILE", nullptr, "");
    UserFolders::set("HOME", (cut + "/casa").c_str(), "");
    Notas t = make_table({});
    EXPECT_EQ(import_notes(&t), "No se pudo abrir " + cut + "\n");
    EXPECT_EQ(t.indN, 0);
}
