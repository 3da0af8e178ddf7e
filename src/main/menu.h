// The top of the program: the menu loop, which owns the note entry dialog
// and calls every other command.
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// Greets, then runs menu cycles (one validated choice, one command, one
// key-wait) until input ends. `user_name` is the name for the list footer.
void menu_run(FILE* in, FILE* out, const Console* con, Notes* notes, const char* user_name);
