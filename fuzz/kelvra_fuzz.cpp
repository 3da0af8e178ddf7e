// Fuzzes what Kelvra reads with the same bytes twice: first as what the user
// types, through the menu loop into every command, then as a saved-notes
// file. The console is the system's own with a clock at 14:30, a desktop box
// that is never there (so the console box takes a line), waits that end the
// watch at once and a printer that takes everything. Files are written in a
// private working directory emptied after each input. Besides the
// sanitizers, each run checks what the table promises (and that a cell cut
// from valid UTF-8 is valid UTF-8), that no file grows past what ten full
// notes can fill, and that the notes a file gives come back unchanged
// through a save and a second read.
#include <iconv.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "main/menu.h"
#include "saved_notes/saved_notes.h"

#define FUZZ_CHECK(ok) ((ok) ? void() : (fprintf(stderr, "check failed: %s\n", #ok), abort()))

namespace fs = std::filesystem;

// The list layout with ten rows of full cells, with room to spare.
enum { MAX_FILE_BYTES = 2048 + MAX_NOTES * (NAME_CELL + TIME_CELL + DESCRIPTION_CELL + 128) };

static fs::path base;
static Console fake;
static bool input_is_utf8;

// Valid UTF-8 as RFC 3629 has it, told apart from the program's own rules
// by the C library's decoder: nothing cut short, overlong, a surrogate or
// past U+10FFFF.
// cppcheck-suppress passedByValue ; iconv moves through a copy of its own
static bool valid_utf8(std::string in) {
    static iconv_t const decode = iconv_open("UTF-32LE", "UTF-8");
    std::string out(4 * in.size() + 4, '\0');
    char* at[] = {in.data(), out.data()};
    size_t left[] = {in.size(), out.size()};
    return iconv(decode, &at[0], &left[0], &at[1], &left[1]) == 0 &&
           iconv(decode, nullptr, nullptr, nullptr, nullptr) == 0;
}

// What the table promises: the count within the rows; every cell up to the
// count terminated, free of line ends and, when the input was valid UTF-8,
// valid UTF-8; every byte past the count still zero, but for the row at the
// count when `partial_row` (a note entry cut short may have begun it).
static void check_table(const Notes& t, bool partial_row) {
    FUZZ_CHECK(t.count >= 0 && t.count <= MAX_NOTES);
    for (int row = 0; row < MAX_NOTES; row++) {
        for (std::string cell :
             {std::string(t.names[row], NAME_CELL), std::string(t.times[row], TIME_CELL),
              std::string(t.descriptions[row], DESCRIPTION_CELL)}) {
            const bool unused = row > t.count || (row == t.count && !partial_row);
            FUZZ_CHECK(!unused || cell.find_first_not_of('\0') == std::string::npos);
            FUZZ_CHECK(cell.find('\0') != std::string::npos);
            cell.resize(cell.find('\0'));
            FUZZ_CHECK(cell.find('\n') == std::string::npos);
            FUZZ_CHECK(!input_is_utf8 || valid_utf8(cell));
        }
    }
}

// A working directory, and a user folder with a saved-notes file to import.
// A program that writes without end stops at 8 MiB (SIGXFSZ, which
// libFuzzer reports) instead of filling the disk.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    std::string name = (fs::temp_directory_path() / "kelvra-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
    base = name;
    fs::create_directories(base / "home/Documents/Kelvra");
    fs::create_directory(base / "work");
    std::ofstream(base / "home/Documents/Kelvra/NotasGuardadas.txt")
        << "Cita-\n14:30-\nDentista-\nPre-reunion-\n09:05-\nSala 2-\n";
    setenv("HOME", (base / "home").c_str(), 1);
    unsetenv("USERPROFILE");
    atexit([] { fs::remove_all(base); });
    const struct rlimit file_size = {8 << 20, 8 << 20};
    FUZZ_CHECK(setrlimit(RLIMIT_FSIZE, &file_size) == 0);
    fake = *console_system();
    fake.local_time = [](struct tm* now) {
        *now = tm{};
        now->tm_hour = 14, now->tm_min = 30, now->tm_mday = 5, now->tm_mon = 11, now->tm_year = 126;
    };
    fake.box = [](const char*, const char*) { return (int)CALL_FAILED; };
    fake.wait = [](int, FILE*) { return (int)USER_LEFT; };
    fake.print = [](const char*) { return (int)DONE; };
    return 0;
}

static void type_at_the_menu(const uint8_t* data, size_t size) {
    const fs::path start = fs::current_path();
    fs::current_path(base / "work");
    static FILE* const sink = fopen("/dev/null", "w");
    Notes notes{};
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    menu_run(in, sink, &fake, &notes, "fuzz");
    fclose(in);
    check_table(notes, true);
    for (const fs::directory_entry& file : fs::directory_iterator(".")) {
        FUZZ_CHECK(file.is_regular_file() && file.file_size() <= MAX_FILE_BYTES);
        fs::remove(file);
    }
    fs::current_path(start);
}

// Reads the file `bytes` into `t`: every complete group of three lines is
// found, `groups` of them unless that is unknown (a UTF-16 file), and
// appended while there is room.
static void read_checked(Notes* t, void* bytes, size_t size, long groups) {
    FILE* file = fmemopen(bytes, size, "rb");
    FUZZ_CHECK(file != nullptr);
    const int before = t->count;
    const int found = saved_notes_read(file, t);
    fclose(file);
    FUZZ_CHECK(found >= 0 && (groups < 0 || found == groups));
    FUZZ_CHECK(t->count - before == std::min(found, MAX_NOTES - before));
    check_table(*t, false);
}

// The same bytes are read a second time into the filled table, as a second
// load would, to reach the full table.
static bool utf16_marked(const void* bytes, size_t size) {
    const auto* d = static_cast<const uint8_t*>(bytes);
    return size >= 2 && ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF));
}

static void read_as_a_saved_file(const uint8_t* data, size_t size) {
    const bool utf16 = utf16_marked(data, size);
    const long lines = std::count(data, data + size, '\n') + (size > 0 && data[size - 1] != '\n');
    void* bytes = const_cast<uint8_t*>(data);
    Notes first{};
    Notes copy{};
    read_checked(&first, bytes, size, utf16 ? -1 : lines / 3);
    char* saved = nullptr;
    size_t saved_size = 0;
    FILE* out = open_memstream(&saved, &saved_size);
    FUZZ_CHECK(out != nullptr && saved_notes_write(out, &first) == DONE);
    fclose(out);
    // A first name that is no UTF-8 but starts with the bytes of a UTF-16
    // mark (þÿ in Latin-1) reads back as UTF-16: that save does not come back.
    if (!utf16_marked(saved, saved_size)) {
        read_checked(&copy, saved, saved_size, first.count);
        for (int row = 0; row < first.count; row++) {
            FUZZ_CHECK(strcmp(copy.names[row], first.names[row]) == 0 &&
                       strcmp(copy.times[row], first.times[row]) == 0 &&
                       strcmp(copy.descriptions[row], first.descriptions[row]) == 0);
        }
    }
    free(saved);
    read_checked(&first, bytes, size, utf16 ? -1 : lines / 3);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    input_is_utf8 = valid_utf8(std::string(reinterpret_cast<const char*>(data), size));
    type_at_the_menu(data, size);
    read_as_a_saved_file(data, size);
    return 0;
}

#ifdef KELVRA_REPLAY
// Without libFuzzer (every ordinary build): replays the inputs of the folders
// it is given, the seeds and those that once broke the target, with the same
// checks. Fails when there is none.
int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int k = 1; k < argc; k++) {
        for (const auto& input : fs::directory_iterator(argv[k])) {
            std::ifstream file(input.path(), std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(file), {}};
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            replayed++;
        }
    }
    printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
#endif
