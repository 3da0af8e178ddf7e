// The saved-notes file "NotasGuardadas.txt": three lines a note (name, time,
// description), each field followed by "-" and a line end, no header.
#pragma once

#include <stdio.h>

#include "notes/notes.h"

// Option 7: writes the table to "NotasGuardadas.txt" in one step: the notes go
// to a temporary file of this save's own beside it (console_create_temp_file)
// that replaces the old file only once it is complete on disk. Confirms on
// `out`, or reports the failure there and leaves any previous file as it was.
void saved_notes_save(FILE* out, const Notes* notes);

// Option 6: appends the notes of "NotasGuardadas.txt" in the working
// directory, only if it is a regular file. Confirms on `out`, or reports
// there why nothing was added.
void saved_notes_load(FILE* out, Notes* notes);

// Option 8: appends the notes of the saved-notes file in the folder
// Documents/Kelvra of the user's own folder (USERPROFILE, else HOME), built
// afresh for each import. Confirms on `out`, or reports there why nothing
// was added.
void saved_notes_import(FILE* out, Notes* notes);

// Writes rows 0 to count - 1 as saved-notes lines to an open `file`. Returns
// DONE, or CALL_FAILED when a write failed (the caller still closes the file).
int saved_notes_write(FILE* file, const Notes* notes);

// Reads saved-notes lines from an open `file` from its start (lines of any
// length, LF or CR LF; UTF-8, or UTF-16 after its byte order mark) and
// appends each complete group of three lines to `notes`, fields cut to their
// cells; a line that is not UTF-8 goes through console_legacy_to_utf8 first.
// Once the table is full, further complete groups are only counted. A group
// left incomplete at the end is dropped, and so is anything past the first
// 16 MiB. Returns the number of complete groups found, or CALL_FAILED when
// reading failed; the notes appended before the failure are then left in
// `notes`.
int saved_notes_read(FILE* file, Notes* notes);
