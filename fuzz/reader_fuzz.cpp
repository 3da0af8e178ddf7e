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
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fake_console.h"
#include "saved_notes/saved_notes.h"

// A broken promise stops the fuzzer with the check's text and line.
static void fuzz_check(bool ok, const char* what, int line) {
    if (ok) return;
    fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, line, what);
    abort();
}
#define FUZZ_CHECK(cond) fuzz_check((cond), #cond, __LINE__)

static Notes first;
static Notes copy;

static FILE* open_bytes(const uint8_t* data, size_t size) {
    // fmemopen refuses an empty buffer; an empty file reads the same.
    FILE* file =
        size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : fopen("/dev/null", "rb");
    FUZZ_CHECK(file != nullptr);
    return file;
}

// Lines as the reader counts them: each line end ends one, and a last line
// without a line end counts too.
static int count_groups(const uint8_t* data, size_t size) {
    size_t lines = 0;
    for (size_t k = 0; k < size; k++)
        if (data[k] == '\n') lines++;
    if (size > 0 && data[size - 1] != '\n') lines++;
    return (int)(lines / 3);
}

// What was read is saved and read back: the same notes must come out.
static void check_round_trip(const Notes* table) {
    char* saved = nullptr;
    size_t saved_size = 0;
    FILE* out = open_memstream(&saved, &saved_size);
    FUZZ_CHECK(out != nullptr);
    FUZZ_CHECK(saved_notes_write(out, table) == 0);
    fclose(out);

    memset(&copy, 0, sizeof copy);
    int not_loaded = -1;
    FILE* in = open_bytes(reinterpret_cast<const uint8_t*>(saved), saved_size);
    FUZZ_CHECK(saved_notes_read(in, console_system(), &copy, &not_loaded) == table->indN);
    fclose(in);
    free(saved);
    FUZZ_CHECK(not_loaded == 0);
    FUZZ_CHECK(copy.indN == table->indN);
    for (int row = 0; row < table->indN; row++) {
        FUZZ_CHECK(strcmp(copy.TitNot[row], table->TitNot[row]) == 0);
        FUZZ_CHECK(strcmp(copy.hora[row], table->hora[row]) == 0);
        FUZZ_CHECK(strcmp(copy.descr[row], table->descr[row]) == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int groups = count_groups(data, size);

    memset(&first, 0, sizeof first);
    int not_loaded = -1;
    FILE* file = open_bytes(data, size);
    int added = saved_notes_read(file, console_system(), &first, &not_loaded);
    fclose(file);
    FUZZ_CHECK(added >= 0);
    FUZZ_CHECK(added == first.indN);
    FUZZ_CHECK(added + not_loaded == groups);
    FUZZ_CHECK(table_fault(first, 0, false) == nullptr);
    check_round_trip(&first);

    const int before = first.indN;
    file = open_bytes(data, size);
    added = saved_notes_read(file, console_system(), &first, &not_loaded);
    fclose(file);
    FUZZ_CHECK(added >= 0);
    FUZZ_CHECK(first.indN == before + added);
    FUZZ_CHECK(added + not_loaded == groups);
    FUZZ_CHECK(table_fault(first, 0, false) == nullptr);
    return 0;
}
