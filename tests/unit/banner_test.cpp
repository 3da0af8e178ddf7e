// The banner screen of option 9: its order of steps, the picture's shape and
// what the menu shows after it, with the fake console and with a terminal.
#include "banner/banner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <string>
#include <thread>
#include <vector>

#include "fake_console.h"
#include "main/kelvra.h"

namespace {

const std::string kMenuTitle = "                  Kelvra    \n";

void run_banner(FILE*, FILE* out, void*) {
    AscciArt(out, fake_console_reset());
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    if (at < text.size()) lines.push_back(text.substr(at));
    return lines;
}

// What AscciArt writes after its console steps, one entry a line.
std::vector<std::string> banner_lines() {
    std::string out = run_with_streams("", run_banner, nullptr);
    const std::string steps = "<cls><color 06>";
    EXPECT_EQ(out.compare(0, steps.size(), steps), 0) << "cls, then yellow, then the picture";
    EXPECT_EQ(out.back(), '\n');
    return split_lines(out.substr(steps.size()));
}

bool is_letter_word(const std::string& s) {
    for (unsigned char c : s)
        if (!isalpha(c)) return false;
    return !s.empty();
}

}  // namespace

TEST(Banner, ClearsThenTurnsYellowThenDrawsFortyNineLines) {
    std::vector<std::string> lines = banner_lines();
    // 47 picture lines, the empty line, the closing line.
    ASSERT_EQ(lines.size(), 49u);
    EXPECT_EQ(lines[47], "");
}

TEST(Banner, EveryPictureLineIsDrawnOnBlanksWithin54To73Columns) {
    std::vector<std::string> lines = banner_lines();
    ASSERT_EQ(lines.size(), 49u);
    for (size_t n = 0; n < 47; n++) {
        const std::string& line = lines[n];
        EXPECT_GE(line.size(), 54u) << "line " << n + 1;
        EXPECT_LE(line.size(), 73u) << "line " << n + 1;
        for (unsigned char c : line)
            EXPECT_TRUE(c == ' ' || isalnum(c) || ispunct(c))
                << "line " << n + 1 << " has byte " << int(c);
        // Its width is the drawing's, not padding.
        EXPECT_NE(line.back(), ' ') << "line " << n + 1;
    }
}

TEST(Banner, ClosingLineIsTwoWordsSixtyNineColumnsApart) {
    std::vector<std::string> lines = banner_lines();
    ASSERT_EQ(lines.size(), 49u);
    const std::string& closing = lines[48];
    ASSERT_EQ(closing.size(), 69u) << closing;
    EXPECT_TRUE(is_letter_word(closing.substr(0, 10))) << closing;
    EXPECT_EQ(closing.substr(10, 48), std::string(48, ' ')) << closing;
    EXPECT_TRUE(is_letter_word(closing.substr(58, 11))) << closing;
}

namespace {

const std::string kStart = "<color 04> Bienvenido!      ";
const std::string kMenu = kMenuTitle +
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

Notas table;

void run_menu(FILE* in, FILE* out, void*) {
    menu_run(in, out, fake_console_reset(), &table, "ana");
}

}  // namespace

// The key-wait comes right under the picture, the next menus follow as usual
// and the colour is never set back to red.
TEST(Banner, OptionNineThroughTheMenu) {
    std::string picture;
    for (const std::string& line : banner_lines()) picture += line + "\n";
    const std::string screen = "<cls><color 06>" + picture;
    const std::string next = "<pause>\n\n";
    const std::string cycle = kMenu + screen + next;
    struct Case {
        const char* input;
        std::string output;
    } cases[] = {
        {"9\n\n", kStart + cycle + kMenu + "\n"},
        {"9\n\nx\n9\n\n", kStart + cycle + kMenu + kRetry + screen + next + kMenu + "\n"},
        // Option 9 counts as a command: the loop clears before the fourth menu.
        {"9\n\n9\n\n9\n\n", kStart + cycle + cycle + cycle + "<cls>" + kMenu + "\n"},
        {"9\n\n9\n\n9\n\n9\n\n", kStart + cycle + cycle + cycle + "<cls>" + cycle + kMenu + "\n"},
        // Input ends at the key-wait under the picture.
        {"9\n", kStart + kMenu + screen + "<pause>\n"},
    };
    for (const Case& c : cases) {
        table = Notas{};
        ScratchDir scratch;
        EXPECT_EQ(run_with_streams(c.input, run_menu, nullptr), c.output) << c.input;
        EXPECT_EQ(table.indN, 0) << "the picture changes no note";
    }
}

namespace {

// Everything the real console layer writes to a pseudo-terminal while `fn`
// runs with `out` on its far end.
std::string on_a_terminal(const std::string& input, void (*fn)(FILE* in, FILE* out, void*)) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(grantpt(master), 0);
    EXPECT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave, 0);
    struct termios mode;
    tcgetattr(slave, &mode);
    cfmakeraw(&mode);
    tcsetattr(slave, TCSANOW, &mode);
    std::string seen;
    std::thread reader([&] {
        char chunk[4096];
        for (;;) {
            ssize_t n = read(master, chunk, sizeof chunk);
            if (n <= 0) break;  // EIO once the far end is closed
            seen.append(chunk, size_t(n));
        }
    });
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    FILE* out = fdopen(slave, "w");
    fn(in, out, nullptr);
    fclose(out);
    fclose(in);
    reader.join();
    close(master);
    return seen;
}

void run_real_menu(FILE* in, FILE* out, void*) {
    menu_run(in, out, console_system(), &table, "ana");
}

}  // namespace

TEST(Banner, MenusAfterThePictureAreYellowOnATerminal) {
    const char* no_color = getenv("NO_COLOR");
    std::string kept = no_color ? no_color : "";
    unsetenv("NO_COLOR");
    table = Notas{};
    ScratchDir scratch;
    std::string seen = on_a_terminal("9\n\n9\n\n", run_real_menu);
    if (no_color) setenv("NO_COLOR", kept.c_str(), 1);

    const std::string red = "\033[0;31;40m", yellow = "\033[0;33;40m";
    std::vector<std::string> lines = banner_lines();
    ASSERT_EQ(seen.compare(0, red.size() + 12, red + " Bienvenido!"), 0) << seen.substr(0, 40);
    // Each picture: cleared, yellow, drawn.
    size_t first = seen.find(yellow + lines[0] + "\n");
    ASSERT_NE(first, std::string::npos);
    size_t second = seen.find(yellow + lines[0] + "\n", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(seen.rfind("\033[2J\033[H", first), std::string::npos);
    // The menus after the pictures are printed, and nothing sets the colour
    // back: the only colour codes are red at start and yellow per picture.
    EXPECT_NE(seen.find(kMenu, first), std::string::npos);
    EXPECT_NE(seen.find(kMenu, second), std::string::npos);
    size_t codes = 0;
    for (size_t at = seen.find("\033["); at != std::string::npos; at = seen.find("\033[", at + 1))
        if (seen.compare(at, 4, "\033[2J") != 0 && seen.compare(at, 3, "\033[H") != 0) codes++;
    EXPECT_EQ(codes, 3u);
    EXPECT_EQ(seen.find(red, 1), std::string::npos);
}
