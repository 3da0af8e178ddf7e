// A console for tests: every service writes a visible marker to the output
// and takes its answers from the test, so commands run without a terminal.
#pragma once

#include <stdio.h>
#include <time.h>

#include <string>
#include <vector>

#include "console/console.h"

struct FakeConsole {
    Consola ops;
    struct tm clock;                 // what local_time reports
    std::vector<int> box_results;    // answers of successive boxes (then BOX_OK)
    std::vector<std::string> boxes;  // "caption|text" of each box shown
    int waits;                       // number of waits so far
    int last_wait_ms;                // how long the last wait was asked to last
    int max_waits;                   // reaching this many waits makes `stop` true (100 by default)
    bool stop;
};

// The fake that the function pointers reach.
FakeConsole& fake_console();

// Resets the fake to: 05/12/26 23:14:07, boxes acknowledged.
const Consola* fake_console_reset();

// Moves the test into a fresh empty directory for its lifetime, so commands
// that write files in the working directory write them there.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    std::string path;
    std::string previous;
};

// Runs `fn` with in-memory input `input` and returns everything written.
std::string run_with_streams(const std::string& input, void (*fn)(FILE* in, FILE* out, void* ctx),
                             void* ctx);
