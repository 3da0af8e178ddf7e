// A console for tests and fuzzing: every service takes its answers from the
// test, so commands run without a terminal, a desktop or a printer.
#pragma once

#include <stdio.h>
#include <time.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "notes/notes.h"

struct FakeConsole {
    Console ops;
    struct tm clock;                  // what local_time reports
    std::vector<int> box_results;     // answers of successive boxes (then DONE)
    std::vector<std::string> boxes;   // "caption|text" of each box shown
    std::vector<int> clock_steps;     // seconds successive waits move the clock (then their own)
    bool temp_fails;                  // create_temp_file creates nothing
    int sync_result, replace_result;  // what sync_file and replace_file answer
    std::string home;                 // the user's folder; empty when none
    int waits;                        // number of waits so far
    int max_waits;                    // from this many waits on, every wait asks to leave
};

// The fake that the function pointers reach.
FakeConsole& fake_console();

// Resets the fake to: 05/12/26 23:14:07, boxes acknowledged, files created,
// synced and replaced, the home folder /nonexistent, leaving at the 100th wait.
const Console* fake_console_reset();

// What the table promises whatever happened to it: the count within the
// rows, every cell up to the count terminated and free of line ends, every
// byte of the rows past the count as `fill` left it, but with `partial_row`
// the row at the count, which a note entry cut short may have begun (its
// cells then terminated). Null when it holds, else what is broken.
const char* table_fault(const Notes& t, char fill, bool partial_row);

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
