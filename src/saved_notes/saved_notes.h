// The saved-notes file "NotasGuardadas.txt": three lines a note (name, time,
// description), each field followed by "-" and a line end, no header.
#pragma once

#include <stdio.h>

#include "main/kelvra.h"

// Option 7: writes the table to "NotasGuardadas.txt" in one step: the notes go
// to a temporary file beside it that replaces the old file only once it is
// complete on disk. Confirms on `out`, or reports the failure there and leaves
// any previous file as it was.
void saved_notes_save(FILE* out, const Notas* notas);

// Option 6: appends the notes of "NotasGuardadas.txt" in the working
// directory. Confirms on `out`, or reports there why nothing was added.
void saved_notes_load(FILE* out, Notas* notas);

// Option 8: appends the notes of the saved-notes file in the user's documents
// folder (see console_import_path). Confirms on `out`, or reports there why
// nothing was added.
void saved_notes_import(FILE* out, Notas* notas);

// Writes rows 0 to indN - 1 as saved-notes lines to an open `file`. Returns 0,
// or -1 when a write failed (the caller still closes the file).
int saved_notes_write(FILE* file, const Notas* notas);

// Reads saved-notes lines from an open `file` (any bytes, lines of any length,
// LF or CR LF) and appends each complete group of three lines to `notas`,
// fields cut to their cells. Once the table is full, further complete groups
// are only counted in `*not_loaded`. A group left incomplete at the end is
// dropped. Returns the number of notes appended, or -1 when reading failed;
// the notes appended before the failure are then left in `notas`.
int saved_notes_read(FILE* file, Notas* notas, int* not_loaded);
