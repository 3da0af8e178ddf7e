/* The least a program can do to look like Kelvra at start: print the
 * greeting and the menu, read the choice lines until input ends, then end
 * the last line. measure.c counts its instructions as the floor that
 * Kelvra's own start-up is compared with. */
#include <stdio.h>

static const char greeting_and_menu[] =
    " Bienvenido!      "
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

int main(void) {
    int c;
    fputs(greeting_and_menu, stdout);
    fflush(stdout);
    while ((c = getc(stdin)) != EOF) {
    }
    fputs("\n", stdout);
    return 0;
}
