// The UTF-8 unit byte by byte, on which every cut of a cell and every key
// rests: the class of each lead byte, a cut after every byte of 2-, 3- and
// 4-byte characters, and which bytes are control characters.
#include "utf8/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

TEST(Utf8, LeadsCutsAndControlCharacters) {
    // LENGTH: utf8_length of each byte. WHOLE: for a cut after 0, 1, ... all
    // bytes, what utf8_whole keeps, and so what utf8_copy keeps in a cell one
    // byte larger than the cut. CONTROL: utf8_control_length of the first 1,
    // 2, ... all bytes.
    enum What { LENGTH, WHOLE, CONTROL };
    struct Row {
        What what;
        std::string bytes;
        std::vector<size_t> want;
    } rows[] = {
        // clang-format off
        // ASCII, tails 80-BF, C0, C1, C2-DF, E0-EF, F0-F4, F5-FF, at both ends.
        {LENGTH, "\0\x7F\x80\xBF\xC0\xC1\xC2\xDF\xE0\xEF\xF0\xF4\xF5\xFF"s,
            {1, 1, 1, 1, 1, 1, 2, 2, 3, 3, 4, 4, 1, 1}},
        {WHOLE, "a\xC3\xA9"s, {0, 1, 1, 3}},                        // U+00E9
        {WHOLE, "a\xDF\xBF"s, {0, 1, 1, 3}},                        // U+07FF
        {WHOLE, "a\xE0\xB8\x81"s, {0, 1, 1, 1, 4}},                 // U+0E01
        {WHOLE, "a\xE2\x82\xAC"s, {0, 1, 1, 1, 4}},                 // U+20AC
        {WHOLE, "a\xEF\xBF\xBD"s, {0, 1, 1, 1, 4}},                 // U+FFFD
        {WHOLE, "a\xF0\x9F\x98\x80"s, {0, 1, 1, 1, 1, 5}},          // U+1F600
        {WHOLE, "a\xF4\x8F\xBF\xBF"s, {0, 1, 1, 1, 1, 5}},          // U+10FFFF
        {WHOLE, "\xC3\xA9\xE0\xB8\x81"s, {0, 0, 2, 2, 2, 5}},
        // What is no character: cut as bytes of their own.
        {WHOLE, "\x80\xBF"s, {0, 1, 2}},
        {WHOLE, "a\xC3\xA9\x80"s, {0, 1, 1, 3, 4}},
        {WHOLE, "a\xC1\xBF"s, {0, 1, 2, 3}},
        {WHOLE, "a\xF5\x80\x80"s, {0, 1, 2, 3, 4}},
        {WHOLE, "a\xE0\xB8"s, {0, 1, 1, 1}},
        // C0, DEL, U+0080 to U+009F (C2 80 to C2 9F); not the blank, ~,
        // U+00A0, U+00C0, a C2 before no tail, nor a C2 with nothing after it.
        {CONTROL, "\0"s, {1}},
        {CONTROL, "\x1F"s, {1}},
        {CONTROL, " "s, {0}},
        {CONTROL, "~"s, {0}},
        {CONTROL, "\x7F"s, {1}},
        {CONTROL, "\xC2\x80"s, {0, 2}},
        {CONTROL, "\xC2\x9F"s, {0, 2}},
        {CONTROL, "\xC2\xA0"s, {0, 0}},
        {CONTROL, "\xC2\x41"s, {0, 0}},
        {CONTROL, "\xC3\x80"s, {0, 0}},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        const size_t n = row.bytes.size();
        std::vector<size_t> got;
        for (size_t k = row.what == WHOLE ? 0 : 1; k <= n; k++) {
            // The first k bytes alone on the heap: a read past them is the
            // sanitizers' to see.
            const std::vector<char> head(row.bytes.begin(), row.bytes.begin() + (long)k);
            if (row.what == LENGTH) got.push_back(utf8_length((unsigned char)head[k - 1]));
            if (row.what == CONTROL) got.push_back(utf8_control_length(head.data(), k));
            if (row.what != WHOLE) continue;
            got.push_back(utf8_whole(head.data(), k));
            // A cell of k + 1 bytes keeps the whole of the first k bytes, or
            // all of them when they are all there is.
            std::string cell(k + 1, '#');
            const int all = utf8_copy(cell.data(), cell.size(), row.bytes.c_str());
            EXPECT_EQ(std::make_pair(all, std::string(cell.c_str())),
                      std::make_pair(int(k == n), row.bytes.substr(0, k == n ? n : row.want.at(k))))
                << "cell of " << k + 1;
        }
        EXPECT_EQ(got, row.want);
    }
}
