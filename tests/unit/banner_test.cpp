// The banner of option 9: the picture's shape, and the colour it leaves on a
// terminal for the menus that follow.
#include "banner/banner.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "fake_console.h"
#include "main/menu.h"

// What AscciArt draws after clearing and turning yellow.
static std::string picture() {
    const std::string steps = "<cls><color 06>";
    std::string out = run_with_streams(
        "", [](FILE*, FILE* o, void*) { AscciArt(o, fake_console_reset()); }, nullptr);
    EXPECT_EQ(out.compare(0, steps.size(), steps), 0) << "cleared, then yellow, then drawn";
    return out.substr(steps.size());
}

TEST(Banner, PictureLinesThenEmptyLineThenClosingLine) {
    const std::pair<int, const char*> rows[] = {
        {47, "[ -~]{53,72}[!-~]"},  // drawn on blanks, as wide as the drawing
        {1, ""},
        {1, "[A-Za-z]{10} {48}[A-Za-z]{11}"},
    };
    std::istringstream in(picture());
    std::string line;
    for (const auto& row : rows)
        for (int i = 0; i < row.first; i++) {
            ASSERT_TRUE(std::getline(in, line) && !in.eof()) << "too few lines";
            EXPECT_TRUE(std::regex_match(line, std::regex(row.second))) << "'" << line << "'";
        }
    EXPECT_EQ(in.peek(), EOF) << "too many lines";
}

TEST(Banner, MenusAfterThePictureStayYellowOnATerminal) {
    int master, slave;
    struct termios raw {};
    cfmakeraw(&raw);  // no CR added to line ends
    ASSERT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
    std::string seen, input = "9\n\n", kept = getenv("NO_COLOR") ? getenv("NO_COLOR") : "";
    std::thread reader([&] {
        for (char c; read(master, &c, 1) == 1;) seen += c;  // until the far end is closed
    });
    unsetenv("NO_COLOR");
    FILE *in = fmemopen(&input[0], input.size(), "r"), *out = fdopen(slave, "w");
    Notes notas{};
    menu_run(in, out, console_system(), &notas, "ana");
    if (!kept.empty()) setenv("NO_COLOR", kept.c_str(), 1);
    fclose(out);
    fclose(in);
    reader.join();
    close(master);
    // Red at the start, then only the picture's clearing and yellow: nothing
    // sets the colour back for the menu printed after the key-wait.
    const std::string red = "\033[0;31;40m", clear = "\033[2J\033[H", yellow = "\033[0;33;40m";
    std::string codes;
    for (size_t at = seen.find('\033'); at != std::string::npos; at = seen.find('\033', at + 1))
        codes += seen.substr(at, seen.find_first_of("mJH", at) + 1 - at);
    EXPECT_EQ(codes, red + clear + yellow);
    const std::string after =
        "Presione una tecla para continuar . . . \n\n                  Kelvra    \n";
    EXPECT_NE(seen.find(clear + yellow + picture() + after), std::string::npos) << seen;
}
