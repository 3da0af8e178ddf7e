#include "fake_console.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "notes/notes.h"

static FakeConsole the_fake;

FakeConsole& fake_console() {
    return the_fake;
}

static void fake_cls(FILE* out) {
    fputs("<cls>", out);
}

static void fake_color(FILE* out, int scheme) {
    fprintf(out, "<color %02d>", scheme);
}

static int fake_is_terminal(FILE*) {
    return 0;
}

// Like the real key-wait from a pipe: one line is one key.
static int fake_read_key(FILE* in) {
    int c = getc(in);
    while (c != EOF && c != '\n') c = getc(in);
    return c == EOF ? INPUT_END : DONE;
}

static void fake_drop_typed_keys(FILE*) {}

static int fake_read_byte(FILE* in) {
    return getc(in);
}

static void fake_unread_byte(int c, FILE* in) {
    ungetc(c, in);
}

static void fake_legacy_to_utf8(char*, size_t) {}

static void fake_local_time(struct tm* now) {
    *now = the_fake.clock;
}

static int fake_box(const char* text, const char* caption) {
    the_fake.boxes.push_back(std::string(caption) + "|" + text);
    if (the_fake.box_results.empty()) return DONE;
    int result = the_fake.box_results.front();
    the_fake.box_results.erase(the_fake.box_results.begin());
    return result;
}

static int fake_wait(int ms, FILE*) {
    the_fake.waits++;
    int step = ms / 1000;
    if (!the_fake.clock_steps.empty()) {
        step = the_fake.clock_steps.front();
        the_fake.clock_steps.erase(the_fake.clock_steps.begin());
    }
    the_fake.clock.tm_sec += step;
    mktime(&the_fake.clock);  // carries seconds into minutes and hours
    return the_fake.waits >= the_fake.max_waits ? USER_LEFT : DONE;
}

static int fake_print(const char*) {
    return DONE;
}

static FILE* fake_create_temp_file(const char* beside, char* path, size_t size) {
    if (the_fake.temp_fails || snprintf(path, size, "%s.XXXXXX", beside) >= (int)size)
        return nullptr;
    int fd = mkstemp(path);
    return fd < 0 ? nullptr : fdopen(fd, "w");
}

static int fake_open_file(const char* path, FILE** file) {
    struct stat st;
    if ((*file = fopen(path, "rb")) == nullptr) return CALL_FAILED;
    if (fstat(fileno(*file), &st) == 0 && S_ISREG(st.st_mode)) return DONE;
    fclose(*file);
    return NOT_A_FILE;
}

static int fake_sync_file(FILE* file) {
    return fflush(file) == 0 ? the_fake.sync_result : CALL_FAILED;
}

static int fake_replace_file(const char* from, const char* to) {
    if (the_fake.replace_result != DONE) return the_fake.replace_result;
    return rename(from, to) == 0 ? DONE : CALL_FAILED;
}

static int fake_home_folder(char* path, size_t size) {
    if (the_fake.home.empty() || the_fake.home.size() >= size) return CALL_FAILED;
    notes_copy_cell(path, size, the_fake.home.c_str());
    return DONE;
}

const Console* fake_console_reset() {
    the_fake.ops = Console{fake_cls,         fake_color,           fake_is_terminal,
                           fake_read_key,    fake_drop_typed_keys, fake_read_byte,
                           fake_unread_byte, fake_local_time,      fake_box,
                           fake_wait,        fake_print,           fake_create_temp_file,
                           fake_open_file,   fake_sync_file,       fake_replace_file,
                           fake_home_folder, fake_legacy_to_utf8,  '/'};
    memset(&the_fake.clock, 0, sizeof the_fake.clock);
    the_fake.clock.tm_mday = 5;
    the_fake.clock.tm_mon = 11;
    the_fake.clock.tm_year = 126;
    the_fake.clock.tm_hour = 23;
    the_fake.clock.tm_min = 14;
    the_fake.clock.tm_sec = 7;
    the_fake.clock.tm_isdst = -1;
    the_fake.box_results.clear();
    the_fake.clock_steps.clear();
    the_fake.boxes.clear();
    the_fake.temp_fails = false;
    the_fake.sync_result = DONE;
    the_fake.replace_result = DONE;
    the_fake.home = "/nonexistent";
    the_fake.waits = 0;
    the_fake.max_waits = 100;
    return &the_fake.ops;
}

static const char* cell_fault(const char* cell, size_t size) {
    const char* end = static_cast<const char*>(memchr(cell, '\0', size));
    if (end == nullptr) return "a cell is not terminated";
    if (memchr(cell, '\n', size_t(end - cell)) != nullptr) return "a cell holds a line end";
    return nullptr;
}

static bool all_fill(const char* cell, size_t size, char fill) {
    for (size_t b = 0; b < size; b++)
        if (cell[b] != fill) return false;
    return true;
}

const char* table_fault(const Notes& t, char fill, bool partial_row) {
    if (t.indN < 0 || t.indN > MAX_NOTES) return "the count is outside the table";
    for (int row = 0; row < MAX_NOTES; row++) {
        const char* cells[] = {t.TitNot[row], t.hora[row], t.descr[row]};
        const size_t sizes[] = {NAME_CELL, TIME_CELL, DESC_CELL};
        for (int k = 0; k < 3; k++) {
            const bool counted = row < t.indN;
            if (!counted && all_fill(cells[k], sizes[k], fill)) continue;
            if (!counted && !(partial_row && row == t.indN))
                return "a row past the count was written";
            if (const char* fault = cell_fault(cells[k], sizes[k])) return fault;
        }
    }
    return nullptr;
}

std::string run_with_streams(const std::string& input, void (*fn)(FILE* in, FILE* out, void* ctx),
                             void* ctx) {
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (input.empty()) in = fopen("/dev/null", "r");
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    fn(in, out, ctx);
    fclose(out);
    fclose(in);
    std::string result(text, size);
    free(text);
    return result;
}

ScratchDir::ScratchDir() {
    char here[4096];
    previous = getcwd(here, sizeof here) ? here : ".";
    char name[] = "/tmp/kelvra-test-XXXXXX";
    path = mkdtemp(name);
    if (chdir(path.c_str()) != 0) abort();
}

ScratchDir::~ScratchDir() {
    if (chdir(previous.c_str()) != 0) abort();
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}
