// Kelvra: a console note-keeper. main owns the program state for the life of
// the process; it lives in static storage, not on the heap.
#include "console/console.h"
#include "main/menu.h"

static Notes notas;

int main() {
    console_start();
    menu_run(stdin, stdout, console_system(), &notas, console_user_name());
    console_restore();
    return 0;
}
