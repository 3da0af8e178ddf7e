// The saved-notes file: what save writes on disk, what load and import take
// back, and what each does when the file or the table stands in the way.
#include "saved_notes/saved_notes.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fake_console.h"

namespace fs = std::filesystem;

namespace {

const std::string kSaved = "Notas guardadas correctamente\n";
const std::string kNotSaved = "No se pudieron guardar las notas\n";
const std::string kLoaded = "Notas Cargadas correctamente\n";
const std::string kImported = "Notas Importadas correctamente\n";
const std::string kNoUserFolder = "No se encontro la carpeta del usuario\n";
const char kFile[] = "NotasGuardadas.txt";
const char kTemp[] = "NotasGuardadas.txt.tmp";

struct Note {
    std::string name, time, desc;
    bool operator==(const Note& o) const {
        return name == o.name && time == o.time && desc == o.desc;
    }
};

std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << "{" << n.name << "|" << n.time << "|" << n.desc << "}";
}

std::string fixture(const std::string& name) {
    const char* dir = getenv("KELVRA_TEST_DATA");
    return std::string(dir ? dir : "tests/data") + "/saved_notes/" + name;
}

// At most 2 MiB, so a file wrongly left pointing at a device cannot hang.
std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string bytes(2 << 20, '\0');
    f.read(&bytes[0], bytes.size());
    bytes.resize(f.gcount());
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary);
    f << bytes;
}

std::vector<std::string> files_here() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(".")) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A table whose unused bytes are all 'Z', so a write past a cell or a row
// shows up as a changed byte.
Notas make_table(const std::vector<Note>& notes) {
    Notas t;
    memset(&t, 'Z', sizeof t);
    t.indN = 0;
    for (const Note& n : notes) {
        copiar_celda(t.TitNot[t.indN], NAME_CELL, n.name.c_str());
        copiar_celda(t.hora[t.indN], TIME_CELL, n.time.c_str());
        copiar_celda(t.descr[t.indN], DESC_CELL, n.desc.c_str());
        t.indN++;
    }
    return t;
}

std::vector<Note> notes_of(const Notas& t) {
    std::vector<Note> notes;
    for (int k = 0; k < t.indN; k++) notes.push_back({t.TitNot[k], t.hora[k], t.descr[k]});
    return notes;
}

std::vector<Note> numbered(int from, int to) {
    std::vector<Note> notes;
    for (int k = from; k <= to; k++) {
        char time[16];
        snprintf(time, sizeof time, "%02d:00", k + 8);
        notes.push_back({"Nota " + std::to_string(k), time, "Descripcion " + std::to_string(k)});
    }
    return notes;
}

struct Command {
    void (*save)(FILE*, const Notas*);
    void (*read)(FILE*, Notas*);
    Notas* table;
};

void run_command(FILE*, FILE* out, void* ctx) {
    Command* c = static_cast<Command*>(ctx);
    if (c->save)
        c->save(out, c->table);
    else
        c->read(out, c->table);
}

std::string save(Notas* t) {
    Command c{saved_notes_save, nullptr, t};
    return run_with_streams("", run_command, &c);
}

std::string load(Notas* t) {
    Command c{nullptr, saved_notes_load, t};
    return run_with_streams("", run_command, &c);
}

std::string import_notes(Notas* t) {
    Command c{nullptr, saved_notes_import, t};
    return run_with_streams("", run_command, &c);
}

struct ReadResult {
    Notas* table;
    int added;
    int not_loaded;
};

void read_stream(FILE* in, FILE*, void* ctx) {
    ReadResult* r = static_cast<ReadResult*>(ctx);
    r->added = saved_notes_read(in, r->table, &r->not_loaded);
}

// Sets or unsets environment variables for one test and puts them back.
class EnvGuard {
public:
    explicit EnvGuard(std::vector<std::string> names) : names_(names) {
        for (const auto& n : names_) {
            const char* v = getenv(n.c_str());
            saved_.push_back(v ? std::make_pair(true, std::string(v)) : std::make_pair(false, ""));
            unsetenv(n.c_str());
        }
    }
    ~EnvGuard() {
        for (size_t k = 0; k < names_.size(); k++) {
            if (saved_[k].first)
                setenv(names_[k].c_str(), saved_[k].second.c_str(), 1);
            else
                unsetenv(names_[k].c_str());
        }
    }

private:
    std::vector<std::string> names_;
    std::vector<std::pair<bool, std::string>> saved_;
};

}  // namespace

TEST(SavedNotes, SaveWritesTheFileByteForByteAndLoadGivesEveryNoteBack) {
    const std::string n99 = std::string(98, 'n') + "-", t99 = "-" + std::string(98, 't'),
                      d199 = "Sala-" + std::string(193, 'd') + "-";
    std::string ten_file;
    for (const Note& n : numbered(1, 10))
        ten_file += n.name + "-\n" + n.time + "-\n" + n.desc + "-\n";
    struct Case {
        const char* what;
        std::vector<Note> notes;
        std::string file;
    } cases[] = {
        {"empty table", {}, ""},
        {"one note", {{"Cita", "14:30", "Dentista"}}, "Cita-\n14:30-\nDentista-\n"},
        {"ten notes", numbered(1, 10), ten_file},
        {"hyphens leading, inside, trailing, alone",
         {{"Pre-reunion", "-14:30", "fin-"}, {"-", "--", "a-b-c"}},
         "Pre-reunion-\n-14:30-\nfin--\n--\n---\na-b-c-\n"},
        {"empty fields", {{"", "", ""}}, "-\n-\n-\n"},
        {"cells at full length", {{n99, t99, d199}}, n99 + "-\n" + t99 + "-\n" + d199 + "-\n"},
        {"carriage return and odd bytes",
         {{"a\r", "\xff\xfe", "tab\there"}},
         "a\r-\n\xff\xfe-\ntab\there-\n"},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        Notas t = make_table(c.notes);
        const Notas before = t;
        EXPECT_EQ(save(&t), kSaved) << c.what;
        EXPECT_EQ(read_file(kFile), c.file) << c.what;
        EXPECT_EQ(files_here(), std::vector<std::string>{kFile}) << c.what;
        EXPECT_EQ(memcmp(&before, &t, sizeof t), 0) << c.what;
        // Saving again writes the same bytes.
        EXPECT_EQ(save(&t), kSaved) << c.what;
        EXPECT_EQ(read_file(kFile), c.file) << c.what;

        Notas back = make_table({});
        EXPECT_EQ(load(&back), kLoaded) << c.what;
        EXPECT_EQ(notes_of(back), c.notes) << c.what;
        // Loading appends: a second load holds every note twice, while it fits.
        if (c.notes.size() <= MAX_NOTES / 2) {
            std::vector<Note> twice = c.notes;
            twice.insert(twice.end(), c.notes.begin(), c.notes.end());
            EXPECT_EQ(load(&back), kLoaded) << c.what;
            EXPECT_EQ(notes_of(back), twice) << c.what;
        }
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
    ASSERT_EQ(d150.size(), 150u);
    ASSERT_EQ(d199.size(), 199u);
    const Note cafe{"Cafe", "11:00", "Con Ana"};
    const std::vector<Note> two = {{"Cita", "14:30", "Dentista"},
                                   {"Pre-reunion", "09:05", "Sala-3 con -guion"}};
    struct Case {
        const char* file;
        std::vector<Note> notes;
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
        ASSERT_FALSE(bytes.empty()) << c.file;
        Notas t = make_table({});
        Notas expected = make_table(c.notes);
        EXPECT_EQ(load(&t), kLoaded) << c.file;
        EXPECT_EQ(notes_of(t), c.notes) << c.file;
        // Not a byte of the table changed beyond the cells' texts.
        EXPECT_EQ(memcmp(&t, &expected, sizeof t), 0) << c.file;
        // Loading never touches the file.
        EXPECT_EQ(read_file(kFile), bytes) << c.file;
    }
    // The dropped fourth line does not start the next load's first group.
    ScratchDir scratch;
    fs::copy_file(fixture("four_lines.txt"), kFile);
    Notas t = make_table({});
    load(&t);
    load(&t);
    EXPECT_EQ(notes_of(t),
              (std::vector<Note>{{"Cita", "14:30", "Dentista"}, {"Cita", "14:30", "Dentista"}}));
}

TEST(SavedNotes, ReaderTakesAnyBytesWithinTheCells) {
    const std::string mega(1000000, 'm');
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<Note> notes;
    } cases[] = {
        {"empty file", "", {}},
        {"one line", "a-\n", {}},
        {"two lines", "a-\nb-\n", {}},
        {"no line end at the end", "a-\nb-\nc-", {{"a", "b", "c"}}},
        {"lines without their hyphen", "a\nb\nc\n", {{"a", "b", "c"}}},
        {"only the last hyphen goes", "a--\n-b-\n-\n", {{"a-", "-b", ""}}},
        {"CR LF", "a-\r\nb-\r\nc-\r\n", {{"a", "b", "c"}}},
        {"mixed line ends", "a-\r\nb-\nc-\r\nd-\ne-\r\nf-", {{"a", "b", "c"}, {"d", "e", "f"}}},
        {"lone CR inside a line", "a\rb-\nc-\nd-\n", {{"a\rb", "c", "d"}}},
        {"empty lines are empty fields", "\n\n\n", {{"", "", ""}}},
        {"NUL bytes", std::string("\0-\nx\0y-\n\0\0\0\n", 12), {{"", "x", ""}}},
        {"fields one over their cells",
         std::string(100, 'n') + "-\n" + std::string(100, 't') + "-\n" + std::string(200, 'd') +
             "-\n",
         {{std::string(99, 'n'), std::string(99, 't'), std::string(199, 'd')}}},
        {"a line of a million characters",
         mega + "\n" + mega + "-\n" + mega + "\nok-\nok-\nok-\n",
         {{std::string(99, 'm'), std::string(99, 'm'), std::string(199, 'm')}, {"ok", "ok", "ok"}}},
    };
    for (const Case& c : cases) {
        Notas t = make_table({});
        const Notas expected = make_table(c.notes);
        ReadResult r{&t, -2, -2};
        run_with_streams(c.bytes, read_stream, &r);
        EXPECT_EQ(r.added, (int)c.notes.size()) << c.what;
        EXPECT_EQ(r.not_loaded, 0) << c.what;
        EXPECT_EQ(notes_of(t), c.notes) << c.what;
        EXPECT_EQ(memcmp(&t, &expected, sizeof t), 0) << c.what;
    }
}

TEST(SavedNotes, AFullTableTakesNoMoreAndSaysHowManyWereLeft) {
    std::string twelve = read_file(fixture("twelve_notes.txt"));
    ASSERT_FALSE(twelve.empty());
    const std::string full = "La lista de notas esta llena: ";
    struct Case {
        int already;
        std::string file;
        std::string output;
        int added;
    } cases[] = {
        {0, twelve, full + "2 notas no se cargaron\n" + kLoaded, 10},
        {9, twelve, full + "11 notas no se cargaron\n" + kLoaded, 1},
        {10, twelve, full + "12 notas no se cargaron\n" + kLoaded, 0},
        {10, twelve + "Suelta-\n", full + "12 notas no se cargaron\n" + kLoaded, 0},
        {0, twelve + "Suelta-\n12:00-\n", full + "2 notas no se cargaron\n" + kLoaded, 10},
        {8, read_file(fixture("two_notes_lf.txt")), kLoaded, 2},
        {9, read_file(fixture("two_notes_lf.txt")), full + "1 notas no se cargaron\n" + kLoaded, 1},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        write_file(kFile, c.file);
        std::vector<Note> already = numbered(101, 100 + c.already);
        Notas t = make_table(already);
        std::string out = load(&t);
        EXPECT_EQ(out, c.output) << c.already;
        EXPECT_EQ(t.indN, c.already + c.added) << c.already;
        // The rows already there stay, the new ones follow in file order.
        std::vector<Note> got = notes_of(t);
        ASSERT_EQ(got.size(), (size_t)t.indN);
        EXPECT_EQ(std::vector<Note>(got.begin(), got.begin() + c.already), already) << c.already;
        if (c.added > 0 && c.file == twelve) {
            EXPECT_EQ(got[c.already].name, "Nota 1");
        }
    }
}

TEST(SavedNotes, SaveFailureLeavesThePreviousFileAsItWas) {
    const std::string previous = "Vieja-\n08:00-\nNo tocar-\n";
    struct Case {
        const char* what;
        void (*block)();
        bool temp_is_ours;
    } cases[] = {
        {"temporary name taken by a folder",
         [] {
             fs::create_directory(kTemp);
             write_file(std::string(kTemp) + "/dentro", "x");
         },
         false},
        {"target is a folder",
         [] {
             fs::remove(kFile);
             fs::create_directory(kFile);
             write_file(std::string(kFile) + "/dentro", "x");
         },
         true},
        {"disk full", [] { fs::create_symlink("/dev/full", kTemp); }, true},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        write_file(kFile, previous);
        c.block();
        const bool target_is_dir = fs::is_directory(kFile);
        Notas t = make_table({{"Nueva", "09:00", "Otra"}});
        EXPECT_EQ(save(&t), kNotSaved) << c.what;
        if (target_is_dir) {
            EXPECT_EQ(read_file(std::string(kFile) + "/dentro"), "x") << c.what;
        } else {
            EXPECT_EQ(read_file(kFile), previous) << c.what;
        }
        if (c.temp_is_ours) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(kTemp))) << c.what;
        } else {
            EXPECT_EQ(read_file(std::string(kTemp) + "/dentro"), "x") << c.what;
        }
    }
}

TEST(SavedNotes, LoadAndImportFailuresReportAndAddNothing) {
    EnvGuard env({"HOME", "USERPROFILE"});
    struct Case {
        const char* what;
        std::string (*command)(Notas*);
        const char* home;  // null: unset
        bool file_is_folder;
        std::string output;  // "<home>" stands for the HOME value
    } cases[] = {
        {"load, no file", load, "/tmp", false, "No se pudo abrir NotasGuardadas.txt\n"},
        {"load, a folder", load, "/tmp", true, "No se pudo leer NotasGuardadas.txt\n"},
        {"import, no user folder", import_notes, nullptr, false, kNoUserFolder},
        {"import, empty HOME", import_notes, "", false, kNoUserFolder},
        {"import, no file", import_notes, "<scratch>", false,
         "No se pudo abrir <home>/Documents/Kelvra/NotasGuardadas.txt\n"},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        std::string home =
            c.home && std::string(c.home) == "<scratch>" ? scratch.path : (c.home ? c.home : "");
        if (c.home)
            setenv("HOME", home.c_str(), 1);
        else
            unsetenv("HOME");
        if (c.file_is_folder) fs::create_directory(kFile);
        Notas t = make_table({{"Cita", "14:30", "Dentista"}});
        const Notas before = t;
        std::string out = c.command(&t);
        std::string want = c.output;
        size_t at = want.find("<home>");
        if (at != std::string::npos) want.replace(at, 6, home);
        EXPECT_EQ(out, want) << c.what;
        EXPECT_EQ(memcmp(&before, &t, sizeof t), 0) << c.what;
    }
}

// A location too long for its buffer is refused, never opened cut short: here
// the cut one would name a real saved-notes file.
TEST(SavedNotes, ImportRefusesALocationItWouldHaveToCut) {
    EnvGuard env({"HOME", "USERPROFILE"});
    ScratchDir scratch;
    std::string dir = scratch.path;
    const size_t cut_at = 4095;  // what fits the location's buffer
    while (dir.size() + 1 + 200 + 2 < cut_at) dir += "/" + std::string(200, 'd');
    dir += "/" + std::string(cut_at - dir.size() - 1 - 2, 'e');
    fs::create_directories(dir);
    const std::string cut = dir + "/f";
    ASSERT_EQ(cut.size(), cut_at);
    write_file(cut, "Cita-\n14:30-\nDentista-\n");
    ASSERT_EQ(read_file(cut).size(), 23u);
    setenv("HOME", (cut + "/casa").c_str(), 1);
    Notas t = make_table({});
    EXPECT_EQ(import_notes(&t), "No se pudo abrir " + cut + "\n");
    EXPECT_EQ(t.indN, 0);
}

TEST(SavedNotes, ImportReadsTheFileInTheUserDocumentsFolder) {
    EnvGuard env({"HOME", "USERPROFILE"});
    const std::string two = read_file(fixture("two_notes_crlf.txt"));
    const std::string one = "Cita-\n14:30-\nDentista-\n";
    struct Case {
        const char* what;
        bool home, profile;  // which variables point at a prepared folder
        bool empty_profile;
        std::vector<std::string> expect;  // names after the import
    } cases[] = {
        {"HOME", true, false, false, {"Cita", "Pre-reunion"}},
        {"USERPROFILE", false, true, false, {"Perfil"}},
        {"USERPROFILE before HOME", true, true, false, {"Perfil"}},
        {"empty USERPROFILE", true, false, true, {"Cita", "Pre-reunion"}},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        const std::string home = scratch.path + "/casa", profile = scratch.path + "/perfil";
        fs::create_directories(home + "/Documents/Kelvra");
        fs::create_directories(profile + "/Documents/Kelvra");
        write_file(home + "/Documents/Kelvra/NotasGuardadas.txt", two);
        write_file(profile + "/Documents/Kelvra/NotasGuardadas.txt", "Perfil-\n07:00-\nd-\n");
        unsetenv("HOME");
        unsetenv("USERPROFILE");
        if (c.home) setenv("HOME", home.c_str(), 1);
        if (c.profile) setenv("USERPROFILE", profile.c_str(), 1);
        if (c.empty_profile) setenv("USERPROFILE", "", 1);
        Notas t = make_table({});
        EXPECT_EQ(import_notes(&t), kImported) << c.what;
        std::vector<std::string> names;
        for (const Note& n : notes_of(t)) names.push_back(n.name);
        EXPECT_EQ(names, c.expect) << c.what;
        // Nothing is written in the working directory.
        EXPECT_EQ(files_here(), (std::vector<std::string>{"casa", "perfil"})) << c.what;
    }
    // The location follows the environment from one import to the next.
    ScratchDir scratch;
    for (const char* sub : {"a", "b"}) {
        fs::create_directories(scratch.path + "/" + sub + "/Documents/Kelvra");
        write_file(scratch.path + "/" + sub + "/Documents/Kelvra/NotasGuardadas.txt",
                   std::string(sub) + "-\n10:00-\nd-\n");
    }
    unsetenv("USERPROFILE");
    Notas t = make_table({});
    setenv("HOME", (scratch.path + "/a").c_str(), 1);
    EXPECT_EQ(import_notes(&t), kImported);
    setenv("HOME", (scratch.path + "/b").c_str(), 1);
    EXPECT_EQ(import_notes(&t), kImported);
    ASSERT_EQ(t.indN, 2);
    EXPECT_STREQ(t.TitNot[0], "a");
    EXPECT_STREQ(t.TitNot[1], "b");
}
