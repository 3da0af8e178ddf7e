// The note list: one bordered layout, shown on screen (option 3), written to
// "MiListaNotas.txt" (option 5) or to "ListaNotas.txt" and printed (option 4).
// The footer carries `user_name` (shown safely at a terminal, as the cells
// are) and the time from `con->local_time`, read once, after the rows.
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// Option 3: clears the screen and shows the note list.
void listing_show(FILE* out, const Console* con, const Notes* notes, const char* user_name);

// Option 4: writes "ListaNotas.txt" and prints it, or reports on `out` what
// failed.
void listing_print(FILE* out, const Console* con, const Notes* notes, const char* user_name);

// Option 5: writes "MiListaNotas.txt", or reports on `out` what failed.
void listing_export(FILE* out, const Console* con, const Notes* notes, const char* user_name);
