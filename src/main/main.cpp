// Kelvra: a console note-keeper. main owns the program state for the life of
// the process; it lives in static storage, not on the heap.
#include <stdio.h>
#include <string.h>

#include "console/console.h"
#include "main/menu.h"
#include "terminal/terminal.h"

static Notes notes;
enum { USER_TEXT = 256 };
// The name shown in the list footer, taken once at start.
static char user_name[USER_TEXT];

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

// Answers --version, and -h, --help or /? (the Windows way of asking), when
// one of them is the only argument, and refuses anything else. Returns the
// exit status.
static int answer_arguments(int argc, char** argv, FILE* out, FILE* err) {
    const char* arg = argv[1];
    bool help = strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0 || strcmp(arg, "/?") == 0;
    bool version = strcmp(arg, "--version") == 0;
    if (argc == 2 && (help || version)) {
        terminal_put(out, help ? kHelp : kVersion);
        if (help) terminal_put(out, kHelpForSystem[console_on_windows]);
        return 0;
    }
    // The first argument not understood: after a known option, the next.
    terminal_put(err, "kelvra: argumento no valido: ");
    terminal_put(err, help || version ? argv[2] : arg);
    terminal_put(err, " (pruebe kelvra --help)\n");
    return 2;
}

// The user's name for the list footer: USERNAME (as Windows sets it), USER
// or LOGNAME, the first one set, else the account's name; empty when none
// is known.
static void find_user_name(char* name, size_t size) {
    static const char* const kVariables[] = {"USERNAME", "USER", "LOGNAME"};
    for (const char* variable : kVariables) {
        console_env(variable, name, size);
        if (name[0] != '\0') return;
    }
    if (console_account_name(name, size) != DONE) name[0] = '\0';
}

int main(int argc, char** argv) {
    int status = 0;
    if (argc > 1) {
        status = answer_arguments(argc, argv, stdout, stderr);
    } else {
        console_start();
        find_user_name(user_name, sizeof user_name);
        menu_run(stdin, stdout, console_system(), &notes, user_name);
        console_restore();
    }
    // The menu goes on to the end of input whatever happens to its output,
    // but a session or an answer that could not be shown is no success.
    if (console_finish_output(stdout) != DONE) {
        terminal_put(stderr, "No se pudo escribir la salida\n");
        return 1;
    }
    return status;
}
