// The menu loop: one validated choice, one command, one key-wait per cycle.
#include "banner/banner.h"
#include "listing/listing.h"
#include "main/kelvra.h"
#include "notify/notify.h"
#include "saved_notes/saved_notes.h"

static const char kGreeting[] = " Bienvenido!      ";

static const char kMenu[] =
    "                  Kelvra    \n"
    " *****************************************\n"
    " * 1 Agregar una nota                    *\n"
    " * 2 Modo Notificacion de notas          *\n"
    " * 3 Ver lista de notas                  *\n"
    " * 4 Imprimir lista de notas             *\n"
    " * 5 Exportar lista de notas a un TXT    *\n"
    " * 6 Cargar Notas Guardadas              *\n"
    " * 7 Guardar Notas Actuales              *\n"
    " * 8 Importar Notas De Documentos        *\n"
    " *****************************************\n"
    " ";

static const char kRetry[] = "No oprimio ninguna opcion valida, reintentelo porfavor\n";

// Commands run before the loop clears the screen again.
enum { CYCLES_PER_SCREEN = 3 };

// A choice is one digit from 1 to 9 alone on its line. The whole line is
// read, however long, so no piece of an overlong line is judged on its own.
static int read_choice(FILE* in, FILE* out, char* opt) {
    char buf[MENU_LINE];
    for (;;) {
        long len = text_read_line(in, buf, sizeof buf);
        if (len < 0) return INPUT_END;
        if (len == 1 && buf[0] >= '1' && buf[0] <= '9') {
            *opt = buf[0];
            return INPUT_OK;
        }
        fputs(kRetry, out);
    }
}

static int run_command(char opt, FILE* in, FILE* out, const Consola* con, Notas* notas,
                       const char* users) {
    switch (opt) {
        case '1':
            return agregar_nota(in, out, notas);
        case '2':
            return alert(notas->TitNot, notas->hora, notas->descr, notas->indN, in, out, con);
        case '3':
            listing_show(out, con, notas, users);
            return INPUT_OK;
        case '4':
            listing_print(out, con, notas, users);
            return INPUT_OK;
        case '5':
            listing_export(out, con, notas, users);
            return INPUT_OK;
        case '6':
            saved_notes_load(out, notas);
            return INPUT_OK;
        case '7':
            saved_notes_save(out, notas);
            return INPUT_OK;
        case '8':
            saved_notes_import(out, notas);
            return INPUT_OK;
        case '9':
            AscciArt(out, con);
            return INPUT_OK;
        default:
            fputs("\n", out);
            fputs(kRetry, out);
            return INPUT_OK;
    }
}

// There is no quit option: the loop ends when input ends, with one line end
// so the shell's prompt starts on a line of its own.
void menu_run(FILE* in, FILE* out, const Consola* con, Notas* notas, const char* users) {
    int buc = 0;
    con->color(out, CONSOLE_RED);
    fputs(kGreeting, out);
    for (;;) {  // preguntas
        if (buc == CYCLES_PER_SCREEN) {
            con->cls(out);
            buc = 0;
        }
        fputs(kMenu, out);
        char opt = 0;
        if (read_choice(in, out, &opt) != INPUT_OK) break;
        if (run_command(opt, in, out, con, notas, users) != INPUT_OK) break;
        if (con->pause(in, out) == 0) break;
        fputs("\n", out);
        buc++;
    }
    fputs("\n", out);
    fflush(out);
}
