// Fuzzes the whole dialog: the input bytes are what the user types, fed
// through the menu loop into every command. The console services answer at
// once (no terminal, no real waits, a fixed clock), and the commands that
// write files write them into a private working directory that is emptied
// before each input, so every input runs from the same start.
//
// Besides the sanitizers' own checks, each run checks what the program
// promises whatever is typed: the count stays within the table, every cell
// stays terminated, no row past the next free one is ever touched, and no file the
// program writes grows past what ten full notes can fill.
#include <dirent.h>
#include <ftw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "main/menu.h"

// A broken promise stops the fuzzer with the check's text and line.
static void fuzz_check(bool ok, const char* what, int line) {
    if (ok) return;
    fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, line, what);
    abort();
}
#define FUZZ_CHECK(cond) fuzz_check((cond), #cond, __LINE__)

enum {
    // Waits after which the notification mode is asked to end, so an input
    // that enters it with nothing due cannot hold the fuzzer forever.
    WAITS_PER_WATCH = 3,
    MS_PER_SECOND = 1000,
    PATH_TEXT = 4096,
    // The largest file any command may leave: the list layout with ten
    // rows of full cells, with room to spare for its fixed lines.
    MAX_FILE_BYTES = 2048 + MAX_NOTES * (NAME_CELL + TIME_CELL + DESC_CELL + 128)
};

static Notes notas;
static FILE* sink;
// The fuzzer's own directory, where it reads and writes its corpus by
// relative names: each input runs in the work directory and comes back.
static char start_dir[PATH_TEXT];
static char base_dir[PATH_TEXT];
static char work_dir[PATH_TEXT];

// What the fake services remember within one input.
static int waits_in_watch;
static int seconds_passed;
static int prints;
static int boxes;

static void fuzz_cls(FILE* out) {
    fputc('\f', out);
}

static void fuzz_color(FILE* /*out*/, int /*scheme*/) {}

// Like the key-wait from a pipe: one line is one key.
static int consume_line(FILE* in) {
    int c = getc(in);
    if (c == EOF) return 0;
    while (c != EOF && c != '\n') c = getc(in);
    return 1;
}

static int fuzz_read_key(FILE* in) {
    return consume_line(in) ? DONE : INPUT_END;
}

static int fuzz_is_terminal(FILE* /*f*/) {
    return 0;
}

static void fuzz_drop_typed_keys(FILE* /*in*/) {}

static int fuzz_read_byte(FILE* in) {
    return getc(in);
}

static void fuzz_unread_byte(int c, FILE* in) {
    ungetc(c, in);
}

static void fuzz_legacy_to_utf8(char* /*line*/, size_t /*size*/) {}

// 05/12/26 14:30:00 plus the waits so far: notes timed 14:30 come due.
static void fuzz_local_time(struct tm* now) {
    memset(now, 0, sizeof *now);
    FUZZ_CHECK(strptime("05/12/26 14:30:00", "%d/%m/%y %H:%M:%S", now) != nullptr);
    now->tm_sec += seconds_passed;
    now->tm_isdst = -1;
    FUZZ_CHECK(mktime(now) != static_cast<time_t>(-1));
}

// Most boxes cannot be shown, so the console box takes one line as its OK;
// every third box comes up and is not acknowledged.
static int fuzz_box(const char* /*text*/, const char* /*caption*/) {
    return (++boxes % 3 == 0) ? BOX_FAILED : CALL_FAILED;
}

static int fuzz_wait(int ms, FILE* /*in*/) {
    seconds_passed += ms / MS_PER_SECOND;
    if (++waits_in_watch < WAITS_PER_WATCH) return DONE;
    waits_in_watch = 0;
    return USER_LEFT;
}

// Every other print fails, so both ends of option 4 are reached.
static int fuzz_print(const char* /*path*/) {
    return (prints++ % 2 == 0) ? DONE : CALL_FAILED;
}

static int fuzz_sync_file(FILE* file) {
    return fflush(file) == 0 ? DONE : CALL_FAILED;
}

static int fuzz_replace_file(const char* from, const char* to) {
    return rename(from, to) == 0 ? DONE : CALL_FAILED;
}

static int fuzz_home_folder(char* path, size_t size) {
    int len = snprintf(path, size, "%s/home", base_dir);
    return (len >= 0 && (size_t)len < size) ? DONE : CALL_FAILED;
}

static const Console kFuzzConsole = {
    fuzz_cls,
    fuzz_color,
    fuzz_is_terminal,
    fuzz_read_key,
    fuzz_drop_typed_keys,
    fuzz_read_byte,
    fuzz_unread_byte,
    fuzz_local_time,
    fuzz_box,
    fuzz_wait,
    fuzz_print,
    fuzz_sync_file,
    fuzz_replace_file,
    fuzz_home_folder,
    fuzz_legacy_to_utf8,
    '/',
};

static void make_dir(const char* path) {
    if (mkdir(path, S_IRWXU) != 0) {
        perror(path);
        abort();
    }
}

static int remove_entry(const char* path, const struct stat* /*st*/, int /*type*/,
                        struct FTW* /*where*/) {
    return remove(path);
}

// The private directory goes when the fuzzer ends, however it was started.
static void remove_directories(void) {
    if (chdir("/") == 0) nftw(base_dir, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

// A private directory with a working directory and a user folder holding a
// saved-notes file to import, so option 8 finds something.
static void prepare_directories(void) {
    const char* tmp = getenv("TMPDIR");
    snprintf(base_dir, sizeof base_dir, "%s/kelvra-fuzz-XXXXXX",
             tmp != nullptr && tmp[0] ? tmp : "/tmp");
    if (mkdtemp(base_dir) == nullptr) {
        perror("mkdtemp");
        abort();
    }
    char path[PATH_TEXT];
    snprintf(path, sizeof path, "%s/home", base_dir);
    make_dir(path);
    snprintf(path, sizeof path, "%s/home/Documents", base_dir);
    make_dir(path);
    snprintf(path, sizeof path, "%s/home/Documents/Kelvra", base_dir);
    make_dir(path);
    snprintf(path, sizeof path, "%s/home/Documents/Kelvra/NotasGuardadas.txt", base_dir);
    FILE* saved = fopen(path, "w");
    FUZZ_CHECK(saved != nullptr);
    fputs("Cita-\n14:30-\nDentista-\nPre-reunion-\n09:05-\nSala 2-\n", saved);
    fclose(saved);
    snprintf(work_dir, sizeof work_dir, "%s/work", base_dir);
    make_dir(work_dir);
}

// Removes what the previous input left, and checks its size on the way.
static void empty_work_dir(void) {
    DIR* dir = opendir(".");
    FUZZ_CHECK(dir != nullptr);
    struct dirent* entry;
    while ((entry = readdir(dir)) != nullptr) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        struct stat st;
        FUZZ_CHECK(stat(entry->d_name, &st) == 0);
        FUZZ_CHECK(S_ISREG(st.st_mode));
        FUZZ_CHECK(st.st_size <= MAX_FILE_BYTES);
        unlink(entry->d_name);
    }
    closedir(dir);
}

static int is_terminated(const char* cell, size_t size) {
    return memchr(cell, '\0', size) != nullptr;
}

static int is_all_zero(const void* bytes, size_t size) {
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    for (size_t k = 0; k < size; k++)
        if (b[k] != 0) return 0;
    return 1;
}

static void check_table(const Notes* table) {
    FUZZ_CHECK(table->indN >= 0 && table->indN <= MAX_NOTES);
    for (int row = 0; row < MAX_NOTES; row++) {
        // Row indN may hold the first answers of a note cut short by the
        // end of input; it is not counted, but what is there is terminated.
        if (row <= table->indN) {
            FUZZ_CHECK(is_terminated(table->TitNot[row], NAME_CELL));
            FUZZ_CHECK(is_terminated(table->hora[row], TIME_CELL));
            FUZZ_CHECK(is_terminated(table->descr[row], DESC_CELL));
        } else {
            FUZZ_CHECK(is_all_zero(table->TitNot[row], NAME_CELL));
            FUZZ_CHECK(is_all_zero(table->hora[row], TIME_CELL));
            FUZZ_CHECK(is_all_zero(table->descr[row], DESC_CELL));
        }
    }
}

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    FUZZ_CHECK(getcwd(start_dir, sizeof start_dir) != nullptr);
    prepare_directories();
    atexit(remove_directories);
    sink = fopen("/dev/null", "w");
    FUZZ_CHECK(sink != nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (chdir(work_dir) != 0) abort();
    empty_work_dir();
    memset(&notas, 0, sizeof notas);
    waits_in_watch = 0;
    seconds_passed = 0;
    prints = 0;
    boxes = 0;

    // fmemopen refuses an empty buffer; an empty file reads the same.
    FILE* in = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fopen("/dev/null", "r");
    FUZZ_CHECK(in != nullptr);
    menu_run(in, sink, &kFuzzConsole, &notas, "fuzz");
    fclose(in);

    check_table(&notas);
    empty_work_dir();
    if (chdir(start_dir) != 0) abort();
    return 0;
}
