// Kelvra: a console note-keeper. main owns the program state for the life of
// the process; it lives in static storage, not on the heap.
#include "main/kelvra.h"

static Notas notas;

int main() {
    console_start();
    menu_run(stdin, stdout, console_system(), &notas, console_user_name());
    console_restore();
    return 0;
}
