// The menu loop: one validated choice, one command, one key-wait per cycle;
// and option 1, the note entry dialog.
#include "main/menu.h"

#include "banner/banner.h"
#include "listing/listing.h"
#include "notify/notify.h"
#include "saved_notes/saved_notes.h"
#include "terminal/terminal.h"

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
    MENU_LINE = 128,       // the typed menu line
    CYCLES_PER_SCREEN = 3  // commands run before the loop clears the screen again
};

// The answers are read in the order the user is asked; the time is one word
// and the character after it, so "14:30 hoy" keeps 14:30 as the time and
// "hoy" as the description. The note only enters the table once all three
// answers are in, so a dialog cut short by the end of input leaves the table
// as it was.
static int menu_add_note(FILE* in, FILE* out, Notes* notes) {
    if (notes->count >= MAX_NOTES) {
        terminal_put(out, "La lista de notas esta llena (maximo 10 notas)\n");
        return DONE;
    }
    const int row = notes->count;
    char answer[ANSWER_CELL];

    terminal_put(out, "Defina el nombre de la nota\n");
    if (notes_read_line(in, answer, sizeof answer, nullptr) < 0) return INPUT_END;
    utf8_copy(notes->names[row], NAME_CELL, answer);

    terminal_put(out, "Defina el horario de la nota\n");
    if (notes_read_word(in, answer, TIME_CELL) != DONE) return INPUT_END;
    utf8_copy(notes->times[row], TIME_CELL, answer);

    terminal_put(out, "Defina la descripcion de la nota\n");
    if (notes_read_line(in, answer, sizeof answer, nullptr) < 0) return INPUT_END;
    utf8_copy(notes->descriptions[row], DESCRIPTION_CELL, answer);

    notes->count = row + 1;
    return DONE;
}

// A choice is one digit from 1 to 9 alone on its line. The whole line is
// read, however long, so no piece of an overlong line is judged on its own.
static int menu_read_choice(FILE* in, FILE* out, char* choice) {
    char line[MENU_LINE];
    for (;;) {
        long len = notes_read_line(in, line, sizeof line, nullptr);
        if (len < 0) return INPUT_END;
        if (len == 1 && line[0] >= '1' && line[0] <= '9') {
            *choice = line[0];
            return DONE;
        }
        terminal_put(out, kRetry);
    }
}

// The choice was validated: every option from 1 to 9 has its command. The
// commands that cannot end the input report their own failures.
static int menu_run_command(char choice, FILE* in, FILE* out, const Console* con, Notes* notes,
                            const char* user_name) {
    switch (choice) {
        case '1': return menu_add_note(in, out, notes);
        case '2': return notify_watch(in, out, con, notes);
        case '3': listing_show(out, con, notes, user_name); break;
        case '4': listing_print(out, con, notes, user_name); break;
        case '5': listing_export(out, con, notes, user_name); break;
        case '6': saved_notes_load(out, notes); break;
        case '7': saved_notes_save(out, notes); break;
        case '8': saved_notes_import(out, notes); break;
        case '9': banner_show(out); break;
    }
    return DONE;
}

// "pause": the prompt, one key, then the prompt's line ends. At the end of
// input the prompt's line is left for the loop to end.
static int menu_key_wait(FILE* in, FILE* out) {
    terminal_put(out, kPausePrompt);
    fflush(out);
    if (terminal_key_wait(in) != DONE) return INPUT_END;
    terminal_put(out, "\n");
    return DONE;
}

// There is no quit option: the loop ends when input ends, with one line end
// so the shell's prompt starts on a line of its own.
void menu_run(FILE* in, FILE* out, const Console* con, Notes* notes, const char* user_name) {
    int commands_on_screen = 0;
    terminal_set_colour(out, CONSOLE_RED);
    terminal_put(out, kGreeting);
    for (;;) {
        if (commands_on_screen == CYCLES_PER_SCREEN) {
            terminal_clear(out);
            commands_on_screen = 0;
        }
        terminal_put(out, kMenu);
        char choice = 0;
        if (menu_read_choice(in, out, &choice) != DONE) break;
        if (menu_run_command(choice, in, out, con, notes, user_name) != DONE) break;
        if (menu_key_wait(in, out) != DONE) break;
        terminal_put(out, "\n");
        commands_on_screen++;
    }
    terminal_put(out, "\n");
}
