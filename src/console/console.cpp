// The table of the services a test may replace, the same on every system.
#include "console/console.h"

static const Console kSystem = {
    .local_time = console_local_time,
    .box = console_box,
    .wait = console_wait,
    .print = console_print,
};

const Console* console_system(void) { return &kSystem; }
