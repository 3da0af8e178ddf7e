// Writing and reading the saved-notes file.
#include "saved_notes/saved_notes.h"

void saved_notes_save(FILE*, const Notas*) {}

void saved_notes_load(FILE*, Notas*) {}

void saved_notes_import(FILE*, Notas*) {}
