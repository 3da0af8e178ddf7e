// A console for tests: every service writes a visible marker to the output
// and takes its answers from the test, so commands run without a terminal.
#pragma once

#include <stdio.h>
#include <time.h>

#include <string>
#include <vector>

#include "console/console.h"

struct FakeConsole {
    Console ops;
    struct tm clock;                   // what local_time reports
    std::vector<int> box_results;      // answers of successive boxes (then DONE)
    std::vector<std::string> boxes;    // "caption|text" of each box shown
    std::vector<std::string> keys;     // the line each key-wait took
    std::vector<std::string> printed;  // the files handed to the printer
    bool temp_fails;                   // create_temp_file creates nothing
    int sync_result, replace_result;   // what sync_file and replace_file answer
    std::string home;                  // the user's folder; empty when none
    std::vector<int> clock_steps;  // seconds successive waits move the clock (then their own time)
    int waits;                     // number of waits so far
    int last_wait_ms;              // how long the last wait was asked to last
    int max_waits;                 // reaching this many waits makes `stop` true (100 by default)
    bool stop;
};

// The fake that the function pointers reach.
FakeConsole& fake_console();

// Resets the fake to: 05/12/26 23:14:07, boxes acknowledged, files created,
// synced and replaced, the home folder /nonexistent.
const Console* fake_console_reset();

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
