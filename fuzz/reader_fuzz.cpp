// Fuzzes the saved-notes reader: the input bytes are the whole file.
//
// Besides the sanitizers' own checks, each run checks what the reader
// promises for any file: every complete group of three lines is either
// appended or counted as not loaded, the table never grows past its rows,
// no row past the count is touched, every cell stays terminated and holds
// no line end, and the notes it read come back unchanged through a save and
// a second read. The same bytes are then read again into the filled table,
// as a second load would, to reach the full table.
#include <stdint.h>
#include <string.h>

#include <algorithm>

#include "fake_console.h"
#include "saved_notes/saved_notes.h"

// Reads the file `bytes` into `t` and checks the promises for its `groups`.
// Returns the number of notes added.
static int read_checked(Notes* t, void* bytes, size_t size, int groups) {
    FILE* file = fmemopen(bytes, size, "rb");
    FUZZ_CHECK(file != nullptr);
    const int before = t->indN;
    int not_loaded = -1;
    const int added = saved_notes_read(file, console_system(), t, &not_loaded);
    fclose(file);
    FUZZ_CHECK(added >= 0 && t->indN == before + added && added + not_loaded == groups);
    FUZZ_CHECK(table_fault(*t, 0, false) == nullptr);
    return added;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each line end ends a line, and a last line without one counts too.
    const long lines = std::count(data, data + size, '\n') + (size > 0 && data[size - 1] != '\n');
    void* bytes = const_cast<uint8_t*>(data);
    Notes first{};
    Notes copy{};
    read_checked(&first, bytes, size, int(lines / 3));

    // What was read is saved and read back: the same notes must come out.
    char* saved = nullptr;
    size_t saved_size = 0;
    FILE* out = open_memstream(&saved, &saved_size);
    FUZZ_CHECK(out != nullptr && saved_notes_write(out, &first) == DONE);
    fclose(out);
    FUZZ_CHECK(read_checked(&copy, saved, saved_size, first.indN) == first.indN);
    free(saved);
    for (int row = 0; row < first.indN; row++) {
        FUZZ_CHECK(strcmp(copy.TitNot[row], first.TitNot[row]) == 0 &&
                   strcmp(copy.hora[row], first.hora[row]) == 0 &&
                   strcmp(copy.descr[row], first.descr[row]) == 0);
    }

    read_checked(&first, bytes, size, int(lines / 3));
    return 0;
}
