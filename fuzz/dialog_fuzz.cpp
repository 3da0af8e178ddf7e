// Fuzzes the whole dialog: the input bytes are what the user types, fed
// through the menu loop into every command, with the tests' fake console (a
// clock at 14:30, desktop boxes that cannot be shown so the console box
// takes a line, waits that end a watch at once). Files are written in a private
// working directory emptied after each input, so every input runs from the
// same start. Besides the sanitizers, each run checks what the table
// promises and that no file grows past what ten full notes can fill.
#include <stdint.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "fake_console.h"
#include "main/menu.h"

namespace fs = std::filesystem;

// The list layout with ten rows of full cells, with room to spare.
enum { MAX_FILE_BYTES = 2048 + MAX_NOTES * (NAME_CELL + TIME_CELL + DESC_CELL + 128) };

static fs::path base;

// A working directory and a user folder with a saved-notes file to import.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    std::string name = (fs::temp_directory_path() / "kelvra-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(name.data()) != nullptr);
    base = name;
    fs::create_directories(base / "home/Documents/Kelvra");
    fs::create_directory(base / "work");
    std::ofstream(base / "home/Documents/Kelvra/NotasGuardadas.txt")
        << "Cita-\n14:30-\nDentista-\nPre-reunion-\n09:05-\nSala 2-\n";
    setenv("HOME", (base / "home").c_str(), 1);
    atexit([] { fs::remove_all(base); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path start = fs::current_path();
    fs::current_path(base / "work");
    FakeConsole& fake = fake_console("14:30:00");
    fake.ops.box = [](const char*, const char*) -> int { return CALL_FAILED; };
    fake.max_waits = 3;
    static FILE* const sink = fopen("/dev/null", "w");
    Notes notas{};
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    menu_run(in, sink, &fake.ops, &notas, "fuzz");
    fclose(in);
    FUZZ_CHECK(table_fault(notas, 0, true) == nullptr);
    for (const fs::directory_entry& file : fs::directory_iterator(".")) {
        FUZZ_CHECK(file.is_regular_file() && file.file_size() <= MAX_FILE_BYTES);
        fs::remove(file);
    }
    fs::current_path(start);
    return 0;
}
