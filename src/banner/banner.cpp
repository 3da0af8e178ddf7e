// The banner screen of the hidden option 9: a sheet of our note pad, held by
// its clip, drawn in characters.
#include "banner/banner.h"

#include "terminal/terminal.h"

enum { PICTURE_LINES = 47 };

// Drawn on blanks with letters, digits and punctuation only, so it shows the
// same in every console code page.
static const char* const kPicture[PICTURE_LINES] = {
    "                           .-------------------------.",
    "                          /  .---------------------.  \\",
    "                         /  /                       \\  \\",
    "                        |  |                         |  |",
    "                        |  |                         |  |",
    "                   _____|__|_________________________|__|_____",
    "                  /                                           \\",
    "                 /    (O)           K E L V R A           (O)  \\",
    "                /_______________________________________________\\",
    "        .------|===============================================|------.",
    "        |      '-----------------------------------------------'      |",
    "        |                                                             |",
    "        |          #   #  #####  #      #   #  ####     #             |",
    "        |          #  #   #      #      #   #  #   #   # #            |",
    "        |          ###    ####   #      #   #  ####   #####           |",
    "        |          #  #   #      #       # #   #  #   #   #           |",
    "        |          #   #  #####  #####    #    #   #  #   #           |",
    "        |                                                             |",
    "        |  : -------------------------------------------------------- |",
    "        |  : Lunes 14 de marzo                                 Hoja 1 |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [x] 09:30  Cita con el medico, llevar analisis.          |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [x] 11:00  Llamar a Marta por el presupuesto.            |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [ ] 13:15  Comprar pan, leche, fruta y cafe.             |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [ ] 14:30  Dentista (no llegar tarde!)                   |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [ ] 17:45  Reunion de equipo: repasar el plan.           |",
    "        |  : -------------------------------------------------------- |",
    "        |  : [ ] 20:00  Cena con la familia.                          |",
    "        |  : -------------------------------------------------------- |",
    "        |  :                                                          |",
    "        |  : -------------------------------------------------------- |",
    "        |  :                                                          |",
    "        |  : -------------------------------------------------------- |",
    "        |  : Ideas:  * regar las plantas    * pagar la luz            |",
    "        |  : -------------------------------------------------------- |",
    "        |  :         * devolver el libro    * 1 + 1 = 2               |",
    "        |  : -------------------------------------------------------- |",
    "        |  :                                                          |",
    "        |  : -------------------------------------------------------- |",
    "        |  :                                                  ,-------'",
    "        |  :                                                  |    .-'",
    "        |                                                     | .-'",
    "        '-----------------------------------------------------'",
};

// A 10-letter word at the left end, 48 blanks, an 11-letter word at the right.
static const char kClosing[] =
    "Organizate                                                Puntualidad";

void banner_show(FILE* out) {
    terminal_clear(out);
    // Never set back: the text stays yellow for the rest of the process.
    terminal_set_colour(out, CONSOLE_YELLOW);
    for (const char* line : kPicture) {
        terminal_put(out, line);
        terminal_put(out, "\n");
    }
    terminal_put(out, "\n");
    terminal_put(out, kClosing);
    terminal_put(out, "\n");
}
