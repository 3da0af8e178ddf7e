// Writing and reading the saved-notes file.
#include "saved_notes/saved_notes.h"

#include <string.h>

static const char kSavedFile[] = "NotasGuardadas.txt";
// Beside the saved file, so putting it in place is a rename within one folder.
static const char kTempFile[] = "NotasGuardadas.txt.tmp";

enum {
    // `c`, one line of the file: the widest field and the "-" that ends it.
    // A longer line is longer than any cell and is cut anyway.
    LINE_CELL = DESC_CELL + 1,
    // The import location; a longer one is refused rather than cut.
    PATH_CELL = 4096
};

// "%.*s" instead of "%s": a cell is read up to its own size and no further.
static int write_field(FILE* file, const char* cell, int size) {
    return fprintf(file, "%.*s-\n", size - 1, cell) < 0 ? -1 : 0;
}

int saved_notes_write(FILE* file, const Notas* notas) {
    int failed = 0;
    for (int ins = 0; ins < notas->indN && ins < MAX_NOTES; ins++) {
        failed |= write_field(file, notas->TitNot[ins], NAME_CELL);
        failed |= write_field(file, notas->hora[ins], TIME_CELL);
        failed |= write_field(file, notas->descr[ins], DESC_CELL);
    }
    return (failed || ferror(file)) ? -1 : 0;
}

void saved_notes_save(FILE* out, const Notas* notas) {
    FILE* guar = fopen(kTempFile, "w");
    if (guar == nullptr) {
        // Whatever holds the temporary name is not ours to remove.
        fputs("No se pudieron guardar las notas\n", out);
        return;
    }
    int ok = saved_notes_write(guar, notas) == 0 && console_sync_file(guar) == 0;
    if (fclose(guar) != 0) ok = 0;
    if (ok && console_replace_file(kTempFile, kSavedFile) != 0) ok = 0;
    if (!ok) {
        remove(kTempFile);
        fputs("No se pudieron guardar las notas\n", out);
        return;
    }
    fputs("Notas guardadas correctamente\n", out);
}

// Every field was written followed by one "-", so exactly one comes off the
// end; hyphens inside the text are the user's own. A line with no final "-"
// is taken whole. A line that did not fit in `c` has lost its end already.
static void take_field(char* field, size_t size, char* c, long len) {
    if (len > 0 && len < LINE_CELL && c[len - 1] == '-') c[len - 1] = '\0';
    copiar_celda(field, size, c);
}

static void append_note(Notas* notas, const char* name, const char* time, const char* desc) {
    const int row = notas->indN;
    copiar_celda(notas->TitNot[row], NAME_CELL, name);
    copiar_celda(notas->hora[row], TIME_CELL, time);
    copiar_celda(notas->descr[row], DESC_CELL, desc);
    notas->indN = row + 1;
}

// Lines are whole lines however long, so a long description can never shift
// the following lines into the wrong fields.
int saved_notes_read(FILE* file, Notas* notas, int* not_loaded) {
    char c[LINE_CELL];
    char notAuxN[NAME_CELL] = "";
    char notAuxH[TIME_CELL] = "";
    char notAuxD[DESC_CELL] = "";
    int l = 0;
    int added = 0;
    long len;
    *not_loaded = 0;
    while ((len = text_read_line(file, c, sizeof c)) >= 0) {
        l++;
        if (l == 1) {
            take_field(notAuxN, sizeof notAuxN, c, len);
        } else if (l == 2) {
            take_field(notAuxH, sizeof notAuxH, c, len);
        } else {
            take_field(notAuxD, sizeof notAuxD, c, len);
            l = 0;
            if (notas->indN >= 0 && notas->indN < MAX_NOTES) {
                append_note(notas, notAuxN, notAuxH, notAuxD);
                added++;
            } else {
                (*not_loaded)++;
            }
        }
    }
    return ferror(file) ? -1 : added;
}

// Reads into a copy of the table, so a file that fails half way adds nothing.
// Binary mode: the reader itself takes LF and CR LF, so a file reads the same
// on every system, whichever wrote it.
static void load_from(FILE* out, Notas* notas, const char* path, const char* confirmation) {
    FILE* file = fopen(path, "rb");
    if (file == nullptr) {
        fprintf(out, "No se pudo abrir %s\n", path);
        return;
    }
    Notas leidas = *notas;
    int not_loaded = 0;
    int added = saved_notes_read(file, &leidas, &not_loaded);
    fclose(file);
    if (added < 0) {
        fprintf(out, "No se pudo leer %s\n", path);
        return;
    }
    *notas = leidas;
    if (not_loaded > 0)
        fprintf(out, "La lista de notas esta llena: %d notas no se cargaron\n", not_loaded);
    fputs(confirmation, out);
}

void saved_notes_load(FILE* out, Notas* notas) {
    load_from(out, notas, kSavedFile, "Notas Cargadas correctamente\n");
}

// The location is built again for every import, so it follows the
// environment as it is now.
void saved_notes_import(FILE* out, Notas* notas) {
    char path[PATH_CELL];
    if (console_import_path(path, sizeof path) != 0) {
        fputs("No se encontro la carpeta del usuario\n", out);
        return;
    }
    if (strlen(path) + 1 >= sizeof path) {
        fprintf(out, "No se pudo abrir %s\n", path);
        return;
    }
    load_from(out, notas, path, "Notas Importadas correctamente\n");
}
