// The note list: one bordered layout, shown on screen (option 3), written to
// "MiListaNotas.txt" (option 5) or to "ListaNotas.txt" and printed (option 4).
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// Writes the whole note list layout to `out`: the header, one row and one
// separator per note, then the footer with `users` (empty when null; shown
// safely at a terminal, as the cells are) and the time from
// `con->local_time`, read once, after the rows. Write errors are left on
// `out` for the caller to find with ferror.
void listing_render(FILE* out, const Console* con, const Notes* notas, const char* users);

// Option 3: clears the screen and shows the note list.
void listing_show(FILE* out, const Console* con, const Notes* notas, const char* users);

// Option 4: writes "ListaNotas.txt" and prints it, or reports on `out` what
// failed.
void listing_print(FILE* out, const Console* con, const Notes* notas, const char* users);

// Option 5: writes "MiListaNotas.txt", or reports on `out` what failed.
void listing_export(FILE* out, const Console* con, const Notes* notas, const char* users);
