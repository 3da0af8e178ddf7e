// The bounded line reader at its limits: sessions of the real program
// (tests/e2e) cover the menu and the note entry built on it.
#include "notes/notes.h"

#include <gtest/gtest.h>

#include <string>

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
        {"\xE2\x82\xACz\n", 4, "\xE2\x82\xAC", ""},
        {"\xF0\x9F\x98\x80\n", 4, "", ""},
        {"abc\rd\n", 5, "abc", ""},
        {"abc\r", 4, "abc", ""},
    };
    for (const Case& c : cases) {
        FILE* in = fmemopen(const_cast<char*>(c.input.data()), c.input.size(), "r");
        char cell[5] = "ZZZZ", rest[16];  // a cell of 4 bytes, with a guard
        EXPECT_EQ(notes_read_line(in, console_system(), cell, 4), c.len) << c.input;
        EXPECT_EQ(cell, c.cell) << c.input;
        EXPECT_EQ(std::string(rest, fread(rest, 1, sizeof rest, in)), c.rest) << c.input;
        fclose(in);
    }
}
