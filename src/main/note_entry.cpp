// Option 1: the note entry dialog.
#include "main/kelvra.h"

// The answers are read in the order the user is asked; the time is one word,
// so "14:30 hoy" keeps 14:30 as the time and "hoy" as the description. The
// note only enters the table once all three answers are in, so a dialog cut
// short by the end of input leaves the table as it was.
int agregar_nota(FILE* in, FILE* out, Notas* notas) {
    if (notas->indN >= MAX_NOTES) {
        fputs("La lista de notas esta llena (maximo 10 notas)\n", out);
        return INPUT_OK;
    }
    const int row = notas->indN;
    char notAux[AUX_CELL];

    fputs("Defina el nombre de la nota\n", out);
    if (text_read_line(in, notAux, sizeof notAux) < 0) return INPUT_END;
    copiar_celda(notas->TitNot[row], NAME_CELL, notAux);

    fputs("Defina el horario de la nota\n", out);
    if (text_read_word(in, notAux, sizeof notAux) != INPUT_OK) return INPUT_END;
    copiar_celda(notas->hora[row], TIME_CELL, notAux);

    fputs("Defina la descripcion de la nota\n", out);
    if (text_skip_char(in) != INPUT_OK) return INPUT_END;
    if (text_read_line(in, notAux, sizeof notAux) < 0) return INPUT_END;
    copiar_celda(notas->descr[row], DESC_CELL, notAux);

    notas->indN = row + 1;
    return INPUT_OK;
}
