// Kelvra: a console note-keeper. main owns the program state for the life of
// the process; it lives in static storage, not on the heap.
#include <stdio.h>
#include <string.h>

#include "console/console.h"
#include "main/menu.h"

static Notes notas;
// users: the name shown in the list footer, taken once at start.
enum { USER_TEXT = 256 };
static char users[USER_TEXT];

// What the command line asks for instead of the menu. The help names the
// keys that end the input and the manual the way this system has them.
static const char kVersion[] = "kelvra " KELVRA_VERSION
                               "\n"
                               "Copyright (c) 2026 Kelvra maintainers\n"
                               "Licencia MIT: puede usarlo, copiarlo y repartirlo libremente.\n";
static const char kHelp[] =
    "Uso: kelvra [--help | --version]\n"
    "Descripcion: agenda de notas para la consola. Guarda hasta 10 notas\n"
    "(nombre, hora y descripcion) y las maneja desde un menu numerado.\n"
    "Sin argumentos abre el menu; no acepta otros argumentos.\n"
    "  -h, --help, /?  muestra esta ayuda y termina\n"
    "  --version       muestra la version y termina\n";
static const char* const kHelpForSystem[] = {
    "Para salir del menu, termine la entrada: Ctrl-D.\n"
    "Manual: man kelvra\n",
    "Para salir del menu, termine la entrada: Ctrl-Z y Enter.\n"
    "Manual: kelvra.txt, en la carpeta de kelvra.exe\n"};

// Answers --version, and -h, --help or /? (the Windows way of asking), when one
// of them is the only argument, and refuses anything else. Returns the exit
// status.
static int answer_arguments(int argc, char** argv, FILE* out, FILE* err) {
    const char* arg = argv[1];
    bool help = strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0 || strcmp(arg, "/?") == 0;
    bool version = strcmp(arg, "--version") == 0;
    if (argc == 2 && (help || version)) {
        fputs(help ? kHelp : kVersion, out);
        if (help) fputs(kHelpForSystem[console_on_windows], out);
        return 0;
    }
    // The first argument not understood: after a known option, the next.
    fprintf(err, "kelvra: argumento no valido: %s (pruebe kelvra --help)\n",
            help || version ? argv[2] : arg);
    return 2;
}

int main(int argc, char** argv) {
    int status = 0;
    if (argc > 1) {
        status = answer_arguments(argc, argv, stdout, stderr);
    } else {
        const Console* con = console_system();
        console_start();
        notes_user_name(con, users, sizeof users);
        menu_run(stdin, stdout, con, &notas, users);
        console_restore();
    }
    // The menu goes on to the end of input whatever happens to its output,
    // but a session or an answer that could not be shown is no success.
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fputs("No se pudo escribir la salida\n", stderr);
        return 1;
    }
    return status;
}
