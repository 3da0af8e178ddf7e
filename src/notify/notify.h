// Notification mode (option 2): watches the clock and raises a warning box
// for each note whose time of day comes up.
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "main/kelvra.h"

// Watches until a box has been acknowledged (or the user leaves the mode).
// Returns INPUT_OK, or INPUT_END when input ended while a box waited.
int alert(const char (&TitNot)[MAX_NOTES][NAME_CELL], const char (&hora)[MAX_NOTES][TIME_CELL],
          const char (&descr)[MAX_NOTES][DESC_CELL], int indN, FILE* in, FILE* out,
          const Consola* con);
