// Code page 437 to UTF-8: the box bytes must become the same drawing
// characters, so the boxes stay aligned on a UTF-8 terminal.
#include <gtest/gtest.h>

#include <string>

#include "decisions/code_page_437.h"
#include "decisions/screen_texts.h"

namespace {

std::string to_utf8(const std::string& cp437) {
    std::string out(cp437.size() * 3, '\0');
    out.resize(cp437_to_utf8(cp437.data(), cp437.size(), &out[0]));
    return out;
}

TEST(Cp437ToUtf8, BoxBytesBecomeTheirDrawingCharacters) {
    struct Case {
        unsigned char byte;
        const char* utf8;
    } cases[] = {
        {0xC9, "\u2554"}, {0xBB, "\u2557"}, {0xC8, "\u255A"}, {0xBC, "\u255D"},
        {0xCD, "\u2550"}, {0xBA, "\u2551"}, {0xCB, "\u2566"}, {0xCA, "\u2569"},
        {0xCC, "\u2560"}, {0xB9, "\u2563"}, {0xB2, "\u2593"}, {0xB3, "\u2502"},
        // Two-byte results at both ends of the upper half.
        {0x80, "\u00C7"}, {0xFF, "\u00A0"}, {0xE1, "\u00DF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to_utf8(std::string(1, static_cast<char>(c.byte))), c.utf8) << std::hex << int{c.byte};
    }
}

TEST(Cp437ToUtf8, PlainTextPassesAndEveryByteIsOneCharacter) {
    EXPECT_EQ(to_utf8(" Bitrate: 192Kbps\r\n"), " Bitrate: 192Kbps\r\n");
    // Each of the 128 upper bytes gives one well-formed character, so a line of
    // N bytes is N columns on the terminal.
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        std::string utf8 = to_utf8(std::string(1, static_cast<char>(byte)));
        unsigned char lead = static_cast<unsigned char>(utf8[0]);
        std::size_t expected_length = lead >= 0xE0 ? 3 : 2;
        ASSERT_EQ(utf8.size(), expected_length) << byte;
        for (std::size_t i = 1; i < utf8.size(); ++i)
            EXPECT_EQ(static_cast<unsigned char>(utf8[i]) & 0xC0, 0x80) << byte;
    }
}

}  // namespace
