// Fuzzes the whole dialog: the input bytes are what the user types, fed
// through the menu loop into every command, with the tests' fake console (a
// clock at 14:30, boxes that mostly cannot be shown so the console box takes
// a line, waits that end a watch at once). Files are written in a private
// working directory emptied before each input, so every input runs from the
// same start. Besides the sanitizers, each run checks what the table
// promises and that no file grows past what ten full notes can fill.
#include <dirent.h>
#include <ftw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "fake_console.h"
#include "main/menu.h"

// A broken promise stops the fuzzer with what was broken.
static void fuzz_check(const char* fault) {
    if (fault == nullptr) return;
    fprintf(stderr, "dialog_fuzz: %s\n", fault);
    abort();
}

// The list layout with ten rows of full cells, with room to spare.
enum { MAX_FILE_BYTES = 2048 + MAX_NOTES * (NAME_CELL + TIME_CELL + DESC_CELL + 128) };

static Notes notas;
static FILE* sink;
static std::string start_dir, base_dir;

// Removes what the previous input left, and checks its size on the way.
static void empty_work_dir(void) {
    DIR* dir = opendir(".");
    for (dirent* e; dir != nullptr && (e = readdir(dir)) != nullptr;) {
        struct stat st;
        if (e->d_name[0] == '.' || stat(e->d_name, &st) != 0) continue;
        fuzz_check(S_ISREG(st.st_mode) && st.st_size <= MAX_FILE_BYTES ? nullptr
                                                                       : "a file too big");
        unlink(e->d_name);
    }
    if (dir != nullptr) closedir(dir);
}

static int remove_entry(const char* path, const struct stat* /*st*/, int /*type*/, FTW* /*ftw*/) {
    return remove(path);
}

static void remove_base_dir(void) {
    if (chdir("/") == 0) nftw(base_dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

// A working directory and a user folder with a saved-notes file to import.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    char here[4096];
    const char* tmp = getenv("TMPDIR");
    std::string base = std::string(tmp != nullptr && tmp[0] ? tmp : "/tmp") + "/kelvra-fuzz-XXXXXX";
    fuzz_check(getcwd(here, sizeof here) && mkdtemp(base.data()) ? nullptr
                                                                 : "no private directory");
    start_dir = here;
    base_dir = base;
    for (const char* dir : {"/work", "/home", "/home/Documents", "/home/Documents/Kelvra"})
        fuzz_check(mkdir((base_dir + dir).c_str(), S_IRWXU) == 0 ? nullptr : "no folders");
    FILE* saved = fopen((base_dir + "/home/Documents/Kelvra/NotasGuardadas.txt").c_str(), "w");
    fuzz_check(saved != nullptr ? nullptr : "no file to import");
    fputs("Cita-\n14:30-\nDentista-\nPre-reunion-\n09:05-\nSala 2-\n", saved);
    fclose(saved);
    atexit(remove_base_dir);
    sink = fopen("/dev/null", "w");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (chdir((base_dir + "/work").c_str()) != 0) abort();
    empty_work_dir();
    memset(&notas, 0, sizeof notas);
    const Console* con = fake_console_reset();
    FakeConsole& fake = fake_console();
    strptime("14:30:00", "%H:%M:%S", &fake.clock);
    fake.home = base_dir + "/home";
    fake.box_results = {CALL_FAILED, CALL_FAILED, BOX_FAILED, CALL_FAILED, DONE};
    fake.max_waits = 3;

    // fmemopen refuses an empty buffer; an empty file reads the same.
    FILE* in = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fopen("/dev/null", "r");
    menu_run(in, sink, con, &notas, "fuzz");
    fclose(in);

    fuzz_check(table_fault(notas, 0, true));
    empty_work_dir();
    if (chdir(start_dir.c_str()) != 0) abort();
    return 0;
}
