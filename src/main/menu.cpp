// The menu loop: one validated choice, one command, one key-wait per cycle;
// and option 1, the note entry dialog.
#include "main/menu.h"

#include "banner/banner.h"
#include "listing/listing.h"
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
static const char kPausePrompt[] = "Presione una tecla para continuar . . . ";

enum {
    MENU_LINE = 128,       // buf, the typed menu line
    CYCLES_PER_SCREEN = 3  // commands run before the loop clears the screen again
};

// The answers are read in the order the user is asked; the time is one word,
// so "14:30 hoy" keeps 14:30 as the time and "hoy" as the description. The
// note only enters the table once all three answers are in, so a dialog cut
// short by the end of input leaves the table as it was.
static int menu_add_note(FILE* in, FILE* out, const Console* con, Notes* notas) {
    if (notas->indN >= MAX_NOTES) {
        fputs("La lista de notas esta llena (maximo 10 notas)\n", out);
        return DONE;
    }
    const int row = notas->indN;
    char notAux[AUX_CELL];

    fputs("Defina el nombre de la nota\n", out);
    if (notes_read_line(in, con, notAux, sizeof notAux) < 0) return INPUT_END;
    utf8_copy(notas->TitNot[row], NAME_CELL, notAux);

    fputs("Defina el horario de la nota\n", out);
    if (notes_read_word(in, con, notAux, TIME_CELL) != DONE) return INPUT_END;
    utf8_copy(notas->hora[row], TIME_CELL, notAux);

    fputs("Defina la descripcion de la nota\n", out);
    if (notes_skip_char(in, con) != DONE) return INPUT_END;
    if (notes_read_line(in, con, notAux, sizeof notAux) < 0) return INPUT_END;
    utf8_copy(notas->descr[row], DESC_CELL, notAux);

    notas->indN = row + 1;
    return DONE;
}

// A choice is one digit from 1 to 9 alone on its line. The whole line is
// read, however long, so no piece of an overlong line is judged on its own.
static int menu_read_choice(FILE* in, FILE* out, const Console* con, char* opt) {
    char buf[MENU_LINE];
    for (;;) {
        long len = notes_read_line(in, con, buf, sizeof buf);
        if (len < 0) return INPUT_END;
        if (len == 1 && buf[0] >= '1' && buf[0] <= '9') {
            *opt = buf[0];
            return DONE;
        }
        fputs(kRetry, out);
    }
}

// The choice was validated: every option from 1 to 9 has its command. The
// commands that cannot end the input report their own failures.
static int menu_run_command(char opt, FILE* in, FILE* out, const Console* con, Notes* notas,
                            const char* users) {
    switch (opt) {
        case '1':
            return menu_add_note(in, out, con, notas);
        case '2':
            return alert(notas->TitNot, notas->hora, notas->descr, notas->indN, in, out, con);
        case '3':
            listing_show(out, con, notas, users);
            break;
        case '4':
            listing_print(out, con, notas, users);
            break;
        case '5':
            listing_export(out, con, notas, users);
            break;
        case '6':
            saved_notes_load(out, con, notas);
            break;
        case '7':
            saved_notes_save(out, con, notas);
            break;
        case '8':
            saved_notes_import(out, con, notas);
            break;
        case '9':
            AscciArt(out, con);
            break;
    }
    return DONE;
}

// "pause": the prompt, one key, then the prompt's line ends. At the end of
// input the prompt's line is left for the loop to end.
static int menu_key_wait(FILE* in, FILE* out, const Console* con) {
    fputs(kPausePrompt, out);
    fflush(out);
    if (notes_key_wait(in, con) != DONE) return INPUT_END;
    fputs("\n", out);
    return DONE;
}

// There is no quit option: the loop ends when input ends, with one line end
// so the shell's prompt starts on a line of its own.
void menu_run(FILE* in, FILE* out, const Console* con, Notes* notas, const char* users) {
    int buc = 0;
    notes_set_colour(out, con, CONSOLE_RED);
    fputs(kGreeting, out);
    for (;;) {  // preguntas
        if (buc == CYCLES_PER_SCREEN) {
            notes_clear_screen(out, con);
            buc = 0;
        }
        fputs(kMenu, out);
        char opt = 0;
        if (menu_read_choice(in, out, con, &opt) != DONE) break;
        if (menu_run_command(opt, in, out, con, notas, users) != DONE) break;
        if (menu_key_wait(in, out, con) != DONE) break;
        fputs("\n", out);
        buc++;
    }
    fputs("\n", out);
}
