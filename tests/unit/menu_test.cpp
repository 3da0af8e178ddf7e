// The menu loop and the note entry dialog, driven through in-memory streams.
#include "main/menu.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_console.h"

namespace {

const std::string kStart = "<color 04> Bienvenido!      ";
const std::string kMenu =
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
const std::string kRetry = "No oprimio ninguna opcion valida, reintentelo porfavor\n";
const std::string kDialog =
    "Defina el nombre de la nota\nDefina el horario de la nota\nDefina la descripcion de la nota\n";
const std::string kAfterCommand = "Presione una tecla para continuar . . . \n\n";

Notes table;

void run_menu(FILE* in, FILE* out, void*) {
    menu_run(in, out, fake_console_reset(), &table, "ana");
}

std::string session(const std::string& input) {
    ScratchDir scratch;
    table = Notes{};
    return run_with_streams(input, run_menu, nullptr);
}

}  // namespace

TEST(Menu, InvalidChoicesGetOneRetryLineEachAndRunNothing) {
    const std::string overlong127 = std::string(127, 'a') + "5";
    const std::string overlong = std::string(100000, '7');
    const char* invalid[] = {"5 ", "55", "0", "a", "", " 5", "10", "5\t", "\r"};
    for (const char* line : invalid) {
        EXPECT_EQ(session(std::string(line) + "\n"), kStart + kMenu + kRetry + "\n") << line;
    }
    EXPECT_EQ(session(overlong127 + "\n"), kStart + kMenu + kRetry + "\n");
    EXPECT_EQ(session(overlong + "\n"), kStart + kMenu + kRetry + "\n");
    EXPECT_EQ(session("x\ny\n\n"), kStart + kMenu + kRetry + kRetry + kRetry + "\n");
}

TEST(Menu, ValidChoicesRunTheirCommandAndPause) {
    // Option 1 with an answer on every prompt; the retry line is never printed.
    EXPECT_EQ(session("1\nCita\n14:30\nDentista\n\n"),
              kStart + kMenu + kDialog + kAfterCommand + kMenu + "\n");
    EXPECT_EQ(table.indN, 1);
    EXPECT_STREQ(table.TitNot[0], "Cita");
    EXPECT_STREQ(table.hora[0], "14:30");
    EXPECT_STREQ(table.descr[0], "Dentista");
    // Every option from 2 to 9 is accepted, the unlisted 9 included.
    for (char opt = '2'; opt <= '9'; opt++) {
        std::string out = session(std::string(1, opt) + "\n\n");
        EXPECT_EQ(out.find(kRetry), std::string::npos) << opt;
        EXPECT_NE(out.find(kAfterCommand + kMenu), std::string::npos) << opt;
    }
}

// Invalid lines do not count as commands.
TEST(Menu, ClearsBeforeTheMenusOfCycles4_7And10) {
    std::string input, expected = kStart;
    for (int cycle = 1; cycle <= 10; cycle++) {
        input += cycle == 2 ? "x\n1\nn\n12:00\nd\n\n" : "1\nn\n12:00\nd\n\n";
        if (cycle == 4 || cycle == 7 || cycle == 10) expected += "<cls>";
        expected += kMenu + (cycle == 2 ? kRetry : "") + kDialog + kAfterCommand;
    }
    expected += kMenu + "\n";
    EXPECT_EQ(session(input), expected);
    EXPECT_EQ(table.indN, 10);
}

// Option 1 alone; the key-wait after it shows what the dialog left unread
// on the line it stopped in.
TEST(NoteEntry, StoresEachAnswerInItsCell) {
    const std::string a99 = std::string(99, 'n'), t99 = std::string(99, 't'),
                      d199 = std::string(199, 'd');
    struct Case {
        std::string input, name, time, desc, rest;
    } cases[] = {
        {"Cita con el medico\n14:30\nDentista\n", "Cita con el medico", "14:30", "Dentista", ""},
        {"n\n14:30 hoy\n1\n", "n", "14:30", "hoy", "1"},
        {"n\n\n\n   14:30\nd\n", "n", "14:30", "d", ""},
        {"\n9:05\n\n", "", "9:05", "", ""},
        {"n\n14:30\tx\n", "n", "14:30", "x", ""},
        {"n\n14:30\r\nd\r\n5\n", "n", "14:30", "d", "5"},
        // Answers longer than their cells are cut there; their tails never
        // reach the next prompt.
        {a99 + "EXTRA\n" + t99 + "EXTRA\n" + d199 + "EXTRA\n5\n", a99, t99, d199, "5"},
        {std::string(100000, 'n') + "\n1\n" + std::string(100000, 'd') + "\n5\n", a99, "1", d199,
         "5"},
    };
    for (const Case& c : cases) {
        std::string out = session("1\n" + c.input);
        EXPECT_EQ(out.substr(0, kStart.size() + kMenu.size() + kDialog.size()),
                  kStart + kMenu + kDialog);
        EXPECT_EQ(table.indN, 1);
        EXPECT_EQ(table.TitNot[0], c.name);
        EXPECT_EQ(table.hora[0], c.time);
        EXPECT_EQ(table.descr[0], c.desc);
        EXPECT_EQ(fake_console().keys, std::vector<std::string>(!c.rest.empty(), c.rest));
    }
}

TEST(NoteEntry, AppendsAfterTheLastNoteAndRefusesTheEleventh) {
    std::string input;
    for (int k = 0; k < MAX_NOTES; k++)
        input += "1\nn" + std::to_string(k) + "\n10:0" + std::to_string(k) + "\nd\n\n";
    std::string out = session(input + "1\nOnce\n11:00\nd\n");
    EXPECT_EQ(table.indN, MAX_NOTES);
    for (int k = 0; k < MAX_NOTES; k++) EXPECT_EQ(table.TitNot[k], "n" + std::to_string(k));
    const std::string full = "La lista de notas esta llena (maximo 10 notas)\n" + kAfterCommand;
    // The refused note's answers go to the key-wait and the menu.
    const std::string tail = full + kMenu + kRetry + kRetry + "\n";
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

namespace {

struct LineResult {
    long len;
    char cell[4];
};

void read_one_line(FILE* in, FILE* out, void* result) {
    LineResult* r = static_cast<LineResult*>(result);
    r->len = notes_read_line(in, fake_console_reset(), r->cell, sizeof r->cell);
    int c;
    while ((c = getc(in)) != EOF) fputc(c, out);
}

}  // namespace

TEST(TextHelpers, ReadLineTakesWholeLinesAndDropsTheLineEnd) {
    struct Case {
        std::string input;
        long len;
        std::string cell, rest;
    } cases[] = {
        {"", -1, "", ""},
        {"\n", 0, "", ""},
        {"ab\nc", 2, "ab", "c"},
        {"abc\n", 3, "abc", ""},
        {"abcdef\nz", 6, "abc", "z"},
        {"ab\r\nz", 2, "ab", "z"},
        {"a\rb\n", 3, "a\rb", ""},
        {"ab\r", 3, "ab\r", ""},
        {"\r", 1, "\r", ""},
        {"ab", 2, "ab", ""},
        {std::string("a\0b\n", 4), 3, "a", ""},
        // A cut goes back to the start of a UTF-8 character it would split;
        // bytes that are not UTF-8 are kept.
        {"a\xC3\xB1z\n", 4, "a\xC3\xB1", ""},
        {"aa\xC3\xB1\n", 4, "aa", ""},
        {"a\xE2\x82\xAC\n", 4, "a", ""},
        {"\xA4\xA4\xA4\xA4\n", 4, "\xA4\xA4\xA4", ""},
        {"ab\xFF\xFF\n", 4, "ab\xFF", ""},
    };
    for (const Case& c : cases) {
        LineResult r{};
        std::string rest = run_with_streams(c.input, read_one_line, &r);
        EXPECT_EQ(r.len, c.len) << c.input;
        EXPECT_EQ(std::string(r.cell), c.cell) << c.input;
        EXPECT_EQ(rest, c.rest) << c.input;
    }
}
