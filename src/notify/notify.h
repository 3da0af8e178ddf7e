// Notification mode (option 2): watches the clock and raises a warning box
// for each note whose time of day comes up, or was jumped over.
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// Watches until a box has been acknowledged or the user leaves the mode
// (Enter at a terminal). Returns DONE, or INPUT_END when input ended, in a
// console box or during the wait between two looks at the clock.
int notify_watch(FILE* in, FILE* out, const Console* con, const Notes* notes);

// The warning box drawn in the console, for where the desktop's box could
// not be shown: a frame at most 60 columns wide titled with `caption`, `text`
// wrapped inside, and an OK button labelled "Aceptar" that Enter presses.
// Rings the bell first at a terminal, and takes only an Enter typed once it
// is up. Returns DONE, or INPUT_END when input ends.
int notify_console_box(const char* text, const char* caption, FILE* in, FILE* out);
