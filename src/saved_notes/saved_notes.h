// The saved-notes file "NotasGuardadas.txt": three lines a note (name, time,
// description), each field followed by "-" and a line end, no header.
#pragma once

#include <stdio.h>

#include "console/console.h"
#include "notes/notes.h"

// Option 7: writes the table to "NotasGuardadas.txt" in one step: the notes go
// to a temporary file of this save's own beside it (con->create_temp_file)
// that replaces the old file only once it is complete on disk. Confirms on
// `out`, or reports the failure there and leaves any previous file as it was.
void saved_notes_save(FILE* out, const Console* con, const Notes* notas);

// Option 6: appends the notes of "NotasGuardadas.txt" in the working
// directory, only if it is a regular file. Confirms on `out`, or reports
// there why nothing was added.
void saved_notes_load(FILE* out, const Console* con, Notes* notas);

// Option 8: appends the notes of the saved-notes file in the folder
// Documents/Kelvra of the user's own folder (notes_home_folder), built afresh
// for each import. Confirms on `out`, or reports there why nothing was added.
void saved_notes_import(FILE* out, const Console* con, Notes* notas);

// Writes rows 0 to indN - 1 as saved-notes lines to an open `file`. Returns
// DONE, or CALL_FAILED when a write failed (the caller still closes the file).
int saved_notes_write(FILE* file, const Notes* notas);

// Reads saved-notes lines from an open `file` (any bytes, lines of any length,
// LF or CR LF) and appends each complete group of three lines to `notas`,
// fields cut to their cells; a line that is not UTF-8 goes through
// con->legacy_to_utf8 first. Once the table is full, further complete groups
// are only counted. A group left incomplete at the end is dropped, and so is
// anything past the first 16 MiB. Returns the number of complete groups that
// did not fit, or CALL_FAILED when reading failed; the notes appended before
// the failure are then left in `notas`.
int saved_notes_read(FILE* file, const Console* con, Notes* notas);
