// Kelvra: a console note-keeper. main owns the program state for the life of
// the process; it lives in static storage, not on the heap.
#include <stdio.h>

#include "console/console.h"
#include "main/menu.h"

static Notes notas;

int main() {
    console_start();
    menu_run(stdin, stdout, console_system(), &notas, console_user_name());
    console_restore();
    // The menu goes on to the end of input whatever happens to its output,
    // but a session that could not be shown is no success.
    if (ferror(stdout)) {
        fputs("No se pudo escribir la salida\n", stderr);
        return 1;
    }
    return 0;
}
