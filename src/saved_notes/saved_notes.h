// The saved-notes file "NotasGuardadas.txt": three lines a note (name, time,
// description), each field followed by "-" and a line end, no header.
#pragma once

#include <stdio.h>

#include "main/kelvra.h"

// Option 7: writes the table to "NotasGuardadas.txt"; confirms or reports on `out`.
void saved_notes_save(FILE* out, const Notas* notas);

// Option 6: appends the notes of "NotasGuardadas.txt"; confirms or reports on `out`.
void saved_notes_load(FILE* out, Notas* notas);

// Option 8: appends the notes of the saved-notes file in the user's documents
// folder; confirms or reports on `out`.
void saved_notes_import(FILE* out, Notas* notas);
