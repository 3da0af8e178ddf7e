// The UTF-8 unit byte by byte, on which every cut of a cell and every key
// rests: the rows of tests/data/utf8.txt (which says what they hold).
#include "utf8/utf8.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

TEST(Utf8, LeadsCutsAndControlCharacters) {
    std::ifstream table(KELVRA_TEST_DATA "/utf8.txt");
    int rows = 0;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::istringstream row(line);
        std::string what, bytes;
        std::vector<size_t> want, got;
        row >> what;
        for (std::string hex; row >> hex && hex != ":";) bytes += char(std::stoi(hex, nullptr, 16));
        for (size_t n = 0; row >> n;) want.push_back(n);
        const size_t n = bytes.size();
        for (size_t k = what == "whole" ? 0 : 1; k <= n; k++) {
            // A control character is told within the first k bytes, which
            // the rest follow; a cut is made in the first k bytes alone on
            // the heap, where a read past them is the sanitizers' to see.
            const std::vector<char> head(bytes.begin(), bytes.begin() + (long)k);
            if (what == "length") got.push_back(utf8_length((unsigned char)bytes[k - 1]));
            if (what == "control") got.push_back(utf8_control_length(bytes.data(), k));
            if (what != "whole") continue;
            got.push_back(utf8_whole(head.data(), k));
            // A cell of k + 1 bytes keeps the whole of the first k bytes, or
            // all of them when they are all there is.
            std::string cell(k + 1, '#');
            const int all = utf8_copy(cell.data(), cell.size(), bytes.c_str());
            EXPECT_EQ(std::make_pair(all, std::string(cell.c_str())),
                      std::make_pair(int(k == n), bytes.substr(0, k == n ? n : want.at(k))))
                << "cell of " << k + 1;
        }
        EXPECT_EQ(got, want);
        rows++;
    }
    EXPECT_GT(rows, 0) << "no rows in " KELVRA_TEST_DATA "/utf8.txt";
}
