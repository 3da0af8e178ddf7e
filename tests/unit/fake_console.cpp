#include "fake_console.h"

#include <stdlib.h>
#include <string.h>
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
    std::string line;
    int c = getc(in);
    if (c == EOF) return INPUT_END;
    for (; c != EOF && c != '\n'; c = getc(in)) line += char(c);
    the_fake.keys.push_back(line);
    return DONE;
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
    the_fake.last_wait_ms = ms;
    if (the_fake.max_waits > 0 && the_fake.waits >= the_fake.max_waits) the_fake.stop = true;
    the_fake.clock.tm_sec += ms / 1000;
    mktime(&the_fake.clock);  // carries seconds into minutes and hours
    return the_fake.stop ? USER_LEFT : DONE;
}

static int fake_print(const char* path) {
    the_fake.printed.push_back(path);
    return DONE;
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
    the_fake.ops = Console{fake_cls,
                           fake_color,
                           fake_is_terminal,
                           fake_read_key,
                           fake_drop_typed_keys,
                           fake_read_byte,
                           fake_unread_byte,
                           fake_local_time,
                           fake_box,
                           fake_wait,
                           fake_print,
                           fake_sync_file,
                           fake_replace_file,
                           fake_home_folder,
                           fake_legacy_to_utf8,
                           '/'};
    memset(&the_fake.clock, 0, sizeof the_fake.clock);
    the_fake.clock.tm_mday = 5;
    the_fake.clock.tm_mon = 11;
    the_fake.clock.tm_year = 126;
    the_fake.clock.tm_hour = 23;
    the_fake.clock.tm_min = 14;
    the_fake.clock.tm_sec = 7;
    the_fake.clock.tm_isdst = -1;
    the_fake.box_results.clear();
    the_fake.boxes.clear();
    the_fake.keys.clear();
    the_fake.printed.clear();
    the_fake.sync_result = DONE;
    the_fake.replace_result = DONE;
    the_fake.home = "/nonexistent";
    the_fake.waits = 0;
    the_fake.last_wait_ms = 0;
    the_fake.max_waits = 100;
    the_fake.stop = false;
    return &the_fake.ops;
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
