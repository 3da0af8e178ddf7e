// What a call that can fail gives back, the same in every folder: 0 when
// done, a negative value when something ended or failed. A positive value
// is only ever a count.
#pragma once

enum {
    DONE = 0,
    INPUT_END = -1,    // standard input ended
    USER_LEFT = -2,    // the user asked to leave (Enter during a wait)
    CALL_FAILED = -3,  // a file or system call failed
    NOT_A_FILE = -4,   // the name is a folder, a device or a pipe, not a file
};
