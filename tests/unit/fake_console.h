// A console for tests and fuzzing: the system's own services, but with a
// clock, warning boxes, waits and a printer the test controls.
#pragma once

#include <stdlib.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "notes/notes.h"

struct FakeConsole {
    Console ops;
    struct tm clock;                 // what local_time reports
    std::vector<std::string> boxes;  // "caption|text" of each box shown
    std::vector<int> clock_steps;    // seconds successive waits move the clock (then their own)
    int waits, max_waits;            // waits so far; from the max_waits-th on, each asks to leave
};

// Resets the fake: the clock at `time` (HH:MM:SS) on 05/12/2026, boxes
// acknowledged, the 100th wait asking to leave, printing done at once. The
// user's folder is HOME's (USERPROFILE is removed).
FakeConsole& fake_console(const char* time);

// What the table promises whatever happened to it: the count within the
// rows, every cell up to the count terminated and free of line ends, every
// byte of the rows past the count as `fill` left it, but with `partial_row`
// the row at the count, which a note entry cut short may have begun (its
// cells then terminated). Null when it holds, else what is broken.
const char* table_fault(const Notes& t, char fill, bool partial_row);

// Stops a fuzz target, or its replay, with the promise it broke.
#define FUZZ_CHECK(ok) ((ok) ? void() : (fprintf(stderr, "check failed: %s\n", #ok), abort()))
