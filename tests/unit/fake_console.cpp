#include "fake_console.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>

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

// Like the real key-wait from a pipe: one line is one key.
static int fake_pause(FILE* in, FILE* out) {
    fputs("<pause>", out);
    int c = getc(in);
    if (c == EOF) return 0;
    while (c != EOF && c != '\n') c = getc(in);
    fputs("\n", out);
    return 1;
}

static void fake_local_time(struct tm* now) {
    *now = the_fake.clock;
}

static int fake_box(const char* text, const char* caption, FILE*, FILE* out) {
    the_fake.boxes.push_back(std::string(caption) + "|" + text);
    fprintf(out, "<box %s|%s>", caption, text);
    if (the_fake.box_results.empty()) return BOX_OK;
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
    return the_fake.stop ? WAIT_LEAVE : WAIT_DONE;
}

static int fake_imprimir(void) {
    return 0;
}

const Consola* fake_console_reset() {
    the_fake.ops = Consola{fake_cls, fake_color, fake_pause,   fake_local_time,
                           fake_box, fake_wait,  fake_imprimir};
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
