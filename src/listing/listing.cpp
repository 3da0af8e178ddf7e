// The note list layout and the report files.
#include "listing/listing.h"

#include <string.h>
#include <time.h>

static const char kBorder[] =
    " ---------------------------------------------------------------------\n";
static const char kTitles[] =
    "|       Nombre       |      Hora       |          Descripcion         |\n";
static const char kStars[] =
    "***********************************************************************\n";
static const char kSeparator[] =
    "-----------------------------------------------------------------------\n\n";

static const char kPrintFile[] = "ListaNotas.txt";
static const char kExportFile[] = "MiListaNotas.txt";

// localH: room for any date the pattern can produce.
enum { STAMP_TEXT = 128 };

static void put_cell(FILE* out, const char* cell, int on_terminal, const char* after) {
    notes_put_text(out, cell, strlen(cell), on_terminal);
    fputs(after, out);
}

// Cells go out as typed, neither padded nor cut, so a long text pushes the
// bars of its row to the right; the files must show the same. Only a
// terminal gets stand-ins for the control characters in them.
void listing_render(FILE* out, const Console* con, const Notes* notas, const char* users) {
    const int on_terminal = con->is_terminal(out);
    fputs(kBorder, out);
    fputs(kTitles, out);
    fputs(kStars, out);
    fputs("\n", out);
    for (int ins = 0; ins < notas->indN; ins++) {
        fputs(" ", out);
        put_cell(out, notas->TitNot[ins], on_terminal, " | ");
        put_cell(out, notas->hora[ins], on_terminal, " | ");
        put_cell(out, notas->descr[ins], on_terminal, " \n");
        fputs(kSeparator, out);
    }
    struct tm now;
    con->local_time(&now);
    char localH[STAMP_TEXT];
    if (strftime(localH, sizeof localH, "%d/%m/%y %H:%M:%S", &now) == 0) localH[0] = '\0';
    fputs(kStars, out);
    fputs("|   ", out);
    put_cell(out, users != nullptr ? users : "", on_terminal, "                                ");
    fprintf(out, "%s            |\n", localH);
    fputs(kBorder, out);
}

void listing_show(FILE* out, const Console* con, const Notes* notas, const char* users) {
    notes_clear_screen(out, con);
    listing_render(out, con, notas, users);
}

// Text mode, so the file gets the system's own line ends. Returns DONE when
// the report is complete and closed; otherwise prints what failed.
static int write_report(const char* name, FILE* out, const Console* con, const Notes* notas,
                        const char* users) {
    FILE* report = fopen(name, "w");
    if (report == nullptr) {
        fprintf(out, "No se pudo crear %s\n", name);
        return CALL_FAILED;
    }
    listing_render(report, con, notas, users);
    const bool written = ferror(report) == 0;
    if (fclose(report) != 0 || !written) {
        fprintf(out, "No se pudo escribir %s\n", name);
        return CALL_FAILED;
    }
    return DONE;
}

// The report goes to the printer from the working directory, where it was
// just written.
static int imprimir(const Console* con) {
    return con->print(kPrintFile);
}

// A report that failed is not printed: the printer would get half a list.
void listing_print(FILE* out, const Console* con, const Notes* notas, const char* users) {
    if (write_report(kPrintFile, out, con, notas, users) == DONE && imprimir(con) != DONE)
        fprintf(out, "No se pudo imprimir %s\n", kPrintFile);
}

void listing_export(FILE* out, const Console* con, const Notes* notas, const char* users) {
    write_report(kExportFile, out, con, notas, users);
}
