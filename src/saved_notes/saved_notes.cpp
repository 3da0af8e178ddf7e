// Writing and reading the saved-notes file.
#include "saved_notes/saved_notes.h"

#include <string.h>

#include "terminal/terminal.h"

static const char kSavedFile[] = "NotasGuardadas.txt";

enum {
    // One line of the file: the widest field and the "-" that ends it. A
    // longer line is longer than any cell and is cut anyway.
    LINE_CELL = DESCRIPTION_CELL + 1,
    // The import location; a longer one is refused rather than cut.
    PATH_CELL = 4096,
    // Far more than ten notes can fill: a file that goes on past it (a
    // link to an endless system file, say) holds nothing more to use.
    FILE_BUDGET = 16L * 1024 * 1024,
    FULL_TEXT = 64
};

int saved_notes_write(FILE* file, const Notes* notes) {
    for (int row = 0; row < notes->count; row++) {
        const char* const fields[] = {notes->names[row], notes->times[row],
                                      notes->descriptions[row]};
        for (const char* field : fields) {
            terminal_put(file, field);
            terminal_put(file, "-\n");
        }
    }
    return ferror(file) ? CALL_FAILED : DONE;
}

// The old file is replaced only by a complete new one that is already on
// the disk, so a failure at any step leaves it as it was. The new one is
// written under a name no other save uses, beside the saved file so putting
// it in place is a rename within one folder: saves of several programs at
// once never write into each other's file, and each reader sees one whole
// saved version.
void saved_notes_save(FILE* out, const Notes* notes) {
    FILE* file = console_create_temp_file(kSavedFile);
    const bool saved =
        file != nullptr &&
        console_replace_file(file, kSavedFile, saved_notes_write(file, notes)) == DONE;
    terminal_put(out,
                 saved ? "Notas guardadas correctamente\n" : "No se pudieron guardar las notas\n");
}

// Every field was written followed by one "-", so exactly one comes off the
// end; hyphens inside the text are the user's own. A line with no final "-"
// is taken whole. A line that did not fit in its LINE_CELL has lost its end
// already. A line that is not UTF-8 comes from an older build that saved in
// the console's code page; the console layer converts it where that applies.
static void take_field(char* line, long len) {
    if (len > 0 && len < LINE_CELL && line[len - 1] == '-') line[len - 1] = '\0';
    console_legacy_to_utf8(line, LINE_CELL);
}

// Lines are whole lines however long, so a long description can never shift
// the following lines into the wrong fields. Each is cut to its cell as the
// note enters the table.
int saved_notes_read(FILE* file, Notes* notes) {
    char fields[3][LINE_CELL];
    int lines_in_group = 0;
    int found = 0;
    long len;
    FileText text;
    notes_start_file_text(file, &text, FILE_BUDGET);
    while ((len = notes_read_line(file, fields[lines_in_group], LINE_CELL, &text)) >= 0) {
        take_field(fields[lines_in_group], len);
        if (++lines_in_group < 3) continue;
        lines_in_group = 0;
        found++;
        if (notes->count == MAX_NOTES) continue;
        const int row = notes->count++;
        utf8_copy(notes->names[row], NAME_CELL, fields[0]);
        utf8_copy(notes->times[row], TIME_CELL, fields[1]);
        utf8_copy(notes->descriptions[row], DESCRIPTION_CELL, fields[2]);
    }
    return ferror(file) ? CALL_FAILED : found;
}

// Reads into a copy of the table, so a file that fails half way adds nothing.
// Binary mode: the reader itself takes LF and CR LF, so a file reads the same
// on every system, whichever wrote it. Only a regular file is read: a pipe
// or a device could hold the menu for ever. An empty file is a save of no
// notes; one with bytes but no whole note is not what a save writes.
static void load_from(FILE* out, Notes* notes, const char* path, const char* confirmation) {
    FILE* file = nullptr;
    const int opened = console_open_file(path, &file);
    Notes loaded = *notes;
    int found = CALL_FAILED;
    bool empty = true;
    if (opened == DONE) {
        found = saved_notes_read(file, &loaded);
        empty = ftell(file) == 0;
        fclose(file);
    }
    if (found < 0) {
        terminal_report(out, opened == CALL_FAILED ? "No se pudo abrir " : "No se pudo leer ",
                        path);
    } else if (found == 0 && !empty) {
        terminal_report(out, "No se encontro ninguna nota en ", path);
    } else {
        const int not_loaded = found - (loaded.count - notes->count);
        *notes = loaded;
        char full[FULL_TEXT];
        snprintf(full, sizeof full, "La lista de notas esta llena: %d notas no se cargaron\n",
                 not_loaded);
        if (not_loaded > 0) terminal_put(out, full);
        terminal_put(out, confirmation);
    }
}

void saved_notes_load(FILE* out, Notes* notes) {
    load_from(out, notes, kSavedFile, "Notas Cargadas correctamente\n");
}

// The user's folder (USERPROFILE first, as on Windows, so one setting serves
// both systems; else HOME), then Documents, Kelvra and the saved file's
// name, built afresh for each import so it follows the user's folder as it
// is now. A location too long for `path` is refused rather than opened cut
// short: cut, it could name another, real file.
void saved_notes_import(FILE* out, Notes* notes) {
    char home[PATH_CELL];
    int found = console_env("USERPROFILE", home, sizeof home);
    if (home[0] == '\0') found = console_env("HOME", home, sizeof home);
    if (found != DONE) {
        terminal_put(out, "No se encontro la carpeta del usuario\n");
        return;
    }
    char path[PATH_CELL];
    const char sep = console_path_separator;
    int len =
        snprintf(path, sizeof path, "%s%cDocuments%cKelvra%c%s", home, sep, sep, sep, kSavedFile);
    // A failure (negative) is past any size too.
    if ((size_t)len >= sizeof path) {
        terminal_report(out, "No se pudo abrir ", path);
        return;
    }
    load_from(out, notes, path, "Notas Importadas correctamente\n");
}
