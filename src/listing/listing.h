// The note list: one bordered layout, shown on screen (option 3), written to
// "MiListaNotas.txt" (option 5) or to "ListaNotas.txt" and printed (option 4).
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "main/kelvra.h"

// Option 3: clears the screen and shows the note list.
void listing_show(FILE* out, const Consola* con, const Notas* notas, const char* users);

// Option 4: writes "ListaNotas.txt" and prints it; reports any failure on `out`.
void listing_print(FILE* out, const Consola* con, const Notas* notas, const char* users);

// Option 5: writes "MiListaNotas.txt"; reports a failure on `out`.
void listing_export(FILE* out, const Consola* con, const Notas* notas, const char* users);
