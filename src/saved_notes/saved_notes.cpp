// Writing and reading the saved-notes file.
#include "saved_notes/saved_notes.h"

#include <string.h>

static const char kSavedFile[] = "NotasGuardadas.txt";
static const char kNotSaved[] = "No se pudieron guardar las notas\n";

enum {
    // `c`, one line of the file: the widest field and the "-" that ends it.
    // A longer line is longer than any cell and is cut anyway.
    LINE_CELL = DESC_CELL + 1,
    // The import location and the temporary file's name; a longer one is
    // refused rather than cut.
    PATH_CELL = 4096,
    // Far more than ten notes can fill: a file that goes on past it (a
    // link to an endless system file, say) holds nothing more to use.
    FILE_BUDGET = 16L * 1024 * 1024
};

// "%.*s" instead of "%s": a cell is read up to its own size and no further.
static int write_field(FILE* file, const char* cell, int size) {
    return fprintf(file, "%.*s-\n", size - 1, cell) < 0 ? CALL_FAILED : DONE;
}

int saved_notes_write(FILE* file, const Notes* notas) {
    bool failed = false;
    for (int ins = 0; ins < notas->indN; ins++) {
        failed |= write_field(file, notas->TitNot[ins], NAME_CELL) != DONE;
        failed |= write_field(file, notas->hora[ins], TIME_CELL) != DONE;
        failed |= write_field(file, notas->descr[ins], DESC_CELL) != DONE;
    }
    return (failed || ferror(file)) ? CALL_FAILED : DONE;
}

// The old file is replaced only by a complete new one that is already on
// the disk, so a failure at any step leaves it as it was. The new one is
// written under a name no other save uses, beside the saved file so putting
// it in place is a rename within one folder: saves of several programs at
// once never write into each other's file, and each reader sees one whole
// saved version.
void saved_notes_save(FILE* out, const Console* con, const Notes* notas) {
    char temp[PATH_CELL];
    FILE* guar = con->create_temp_file(kSavedFile, temp, sizeof temp);
    if (guar == nullptr) {
        fputs(kNotSaved, out);
        return;
    }
    bool ok = saved_notes_write(guar, notas) == DONE && con->sync_file(guar) == DONE;
    ok = fclose(guar) == 0 && ok && con->replace_file(temp, kSavedFile) == DONE;
    if (!ok) con->drop_temp_file(temp);
    fputs(ok ? "Notas guardadas correctamente\n" : kNotSaved, out);
}

// Every field was written followed by one "-", so exactly one comes off the
// end; hyphens inside the text are the user's own. A line with no final "-"
// is taken whole. A line that did not fit in `c` has lost its end already.
// A line that is not UTF-8 comes from an older build that saved in the
// console's code page; the console layer converts it where that applies.
static void take_field(char* field, size_t size, char* c, long len, const Console* con) {
    if (len > 0 && len < LINE_CELL && c[len - 1] == '-') c[len - 1] = '\0';
    con->legacy_to_utf8(c, LINE_CELL);
    utf8_copy(field, size, c);
}

static void append_note(Notes* notas, const char* name, const char* time, const char* desc) {
    const int row = notas->indN;
    utf8_copy(notas->TitNot[row], NAME_CELL, name);
    utf8_copy(notas->hora[row], TIME_CELL, time);
    utf8_copy(notas->descr[row], DESC_CELL, desc);
    notas->indN = row + 1;
}

// Lines are whole lines however long, so a long description can never shift
// the following lines into the wrong fields.
int saved_notes_read(FILE* file, const Console* con, Notes* notas) {
    char c[LINE_CELL];
    char notAuxN[NAME_CELL] = "";
    char notAuxH[TIME_CELL] = "";
    char notAuxD[DESC_CELL] = "";
    int l = 0;
    int not_loaded = 0;
    long len;
    long budget = FILE_BUDGET;
    while ((len = notes_read_line_within(file, con, c, sizeof c, &budget)) >= 0) {
        l++;
        if (l == 1) {
            take_field(notAuxN, sizeof notAuxN, c, len, con);
        } else if (l == 2) {
            take_field(notAuxH, sizeof notAuxH, c, len, con);
        } else {
            take_field(notAuxD, sizeof notAuxD, c, len, con);
            l = 0;
            if (notas->indN >= 0 && notas->indN < MAX_NOTES) {
                append_note(notas, notAuxN, notAuxH, notAuxD);
            } else {
                not_loaded++;
            }
        }
    }
    return ferror(file) ? CALL_FAILED : not_loaded;
}

// The path holds the user's folder, which came from outside the program: at
// a terminal it is shown as a note is.
static void report_path(FILE* out, const Console* con, const char* what, const char* path) {
    fputs(what, out);
    notes_put_text(out, path, strlen(path), con->is_terminal(out));
    fputs("\n", out);
}

// Reads into a copy of the table, so a file that fails half way adds nothing.
// Binary mode: the reader itself takes LF and CR LF, so a file reads the same
// on every system, whichever wrote it. Only a regular file is read: a pipe
// or a device could hold the menu for ever.
static void load_from(FILE* out, const Console* con, Notes* notas, const char* path,
                      const char* confirmation) {
    FILE* file = nullptr;
    int opened = con->open_file(path, &file);
    const char* failed = opened == NOT_A_FILE ? "No se pudo leer " : "No se pudo abrir ";
    Notes leidas = *notas;
    int not_loaded = CALL_FAILED;
    if (opened == DONE) {
        failed = "No se pudo leer ";
        not_loaded = saved_notes_read(file, con, &leidas);
        fclose(file);
    }
    if (not_loaded < 0) {
        report_path(out, con, failed, path);
        return;
    }
    *notas = leidas;
    if (not_loaded > 0)
        fprintf(out, "La lista de notas esta llena: %d notas no se cargaron\n", not_loaded);
    fputs(confirmation, out);
}

void saved_notes_load(FILE* out, const Console* con, Notes* notas) {
    load_from(out, con, notas, kSavedFile, "Notas Cargadas correctamente\n");
}

// The user's folder, then Documents, Kelvra and the saved file's name, built
// afresh for each import so it follows the user's folder as it is now. A
// location too long for `path` is refused rather than opened cut short: cut,
// it could name another, real file.
void saved_notes_import(FILE* out, const Console* con, Notes* notas) {
    char home[PATH_CELL];
    if (notes_home_folder(con, home, sizeof home) != DONE) {
        fputs("No se encontro la carpeta del usuario\n", out);
        return;
    }
    char path[PATH_CELL];
    const char sep = con->path_separator;
    int len =
        snprintf(path, sizeof path, "%s%cDocuments%cKelvra%c%s", home, sep, sep, sep, kSavedFile);
    // A failure (negative) is past any size too.
    if ((size_t)len >= sizeof path) {
        report_path(out, con, "No se pudo abrir ", path);
        return;
    }
    load_from(out, con, notas, path, "Notas Importadas correctamente\n");
}
