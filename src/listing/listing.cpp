// The note list layout and the report files.
#include "listing/listing.h"

#include <string.h>
#include <time.h>

#include "terminal/terminal.h"

static const char kHeader[] =
    " ---------------------------------------------------------------------\n"
    "|       Nombre       |      Hora       |          Descripcion         |\n"
    "***********************************************************************\n"
    "\n";
static const char kStars[] =
    "***********************************************************************\n";
static const char kBorder[] =
    " ---------------------------------------------------------------------\n";
static const char kSeparator[] =
    "-----------------------------------------------------------------------\n\n";

static const char kPrintFile[] = "ListaNotas.txt";
static const char kExportFile[] = "MiListaNotas.txt";

// Room for any date the footer's pattern can produce.
enum { STAMP_TEXT = 128 };

static void put_cell(FILE* out, const char* cell, int on_terminal, const char* after) {
    terminal_put_note(out, cell, strlen(cell), on_terminal);
    terminal_put(out, after);
}

// Cells go out as typed, neither padded nor cut, so a long text pushes the
// bars of its row to the right; the files must show the same. Only a
// terminal gets stand-ins for the control characters in them.
static void render(FILE* out, const Console* con, const Notes* notes, const char* user_name) {
    const int on_terminal = console_is_terminal(out);
    terminal_put(out, kHeader);
    for (int row = 0; row < notes->count; row++) {
        terminal_put(out, " ");
        put_cell(out, notes->names[row], on_terminal, " | ");
        put_cell(out, notes->times[row], on_terminal, " | ");
        put_cell(out, notes->descriptions[row], on_terminal, " \n");
        terminal_put(out, kSeparator);
    }
    struct tm now;
    con->local_time(&now);
    char stamp[STAMP_TEXT];
    if (strftime(stamp, sizeof stamp, "%d/%m/%y %H:%M:%S", &now) == 0) stamp[0] = '\0';
    terminal_put(out, kStars);
    terminal_put(out, "|   ");
    put_cell(out, user_name, on_terminal, "                                ");
    put_cell(out, stamp, false, "            |\n");
    terminal_put(out, kBorder);
}

void listing_show(FILE* out, const Console* con, const Notes* notes, const char* user_name) {
    terminal_clear(out);
    render(out, con, notes, user_name);
}

// Text mode, so the file gets the system's own line ends. Returns DONE when
// the report is complete and closed; otherwise prints what failed.
static int write_report(const char* name, FILE* out, const Console* con, const Notes* notes,
                        const char* user_name) {
    FILE* report = fopen(name, "w");
    if (report == nullptr) {
        terminal_report(out, "No se pudo crear ", name);
        return CALL_FAILED;
    }
    render(report, con, notes, user_name);
    const bool written = ferror(report) == 0;
    if (fclose(report) != 0 || !written) {
        terminal_report(out, "No se pudo escribir ", name);
        return CALL_FAILED;
    }
    return DONE;
}

// A report that failed is not printed: the printer would get half a list.
// It goes to the printer from the working directory, where it was written.
void listing_print(FILE* out, const Console* con, const Notes* notes, const char* user_name) {
    if (write_report(kPrintFile, out, con, notes, user_name) == DONE &&
        con->print(kPrintFile) != DONE)
        terminal_report(out, "No se pudo imprimir ", kPrintFile);
}

void listing_export(FILE* out, const Console* con, const Notes* notes, const char* user_name) {
    write_report(kExportFile, out, con, notes, user_name);
}
