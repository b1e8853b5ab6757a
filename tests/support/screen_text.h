// The program's screen texts as the user must see them, byte for byte, for
// comparing what the program writes. The maker's notices are free wording, so
// they are matched by their place and width only.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kt {

// One piece of expected screen text: exact bytes, or a notice line.
struct ScreenPiece {
    bool notice = false;
    std::string text;         // exact bytes; for a notice, what its line starts with
    std::string suffix;       // for a notice: what its line ends with, before the line feed
    std::size_t min_width = 0;  // for a notice: columns of its line, line feed excluded
    std::size_t max_width = 0;
};

using Screen = std::vector<ScreenPiece>;

Screen exact(const std::string& text);
// Appends `more` to `screen`, joining neighbouring exact pieces.
void append(Screen& screen, const Screen& more);
void append(Screen& screen, const std::string& exact_text);

// Whether `actual` is the expected screen from its start to its end; reports
// where they part.
::testing::AssertionResult screen_matches(const std::string& actual, const Screen& expected);

// The screen with its clock fields ("m:ss"), which may tick between two runs, made alike.
std::string without_times(const std::string& screen);

// Where two screens part: the line (up to a carriage return or line feed) at the first difference.
std::string first_screen_difference(const std::string& got, const std::string& want);

// Code page 437 box bytes: (byte, count) runs after the leading space, with a line feed.
std::string border(std::initializer_list<std::pair<unsigned char, int>> runs);

Screen title_box(const std::string& version);
Screen help_page(int page);  // page 1 holds the title box with the program's version
std::string help_prompt(int page);
// The three pages, each followed by its prompt, as a run without arguments writes them.
Screen help_pages();
// The banner with the two version lines as given (each with its line feed).
Screen title_banner(const std::string& library_line, const std::string& engine_line);

// The summary box from its cells as they must appear (already padded).
struct SummaryCells {
    std::string bitrate = "192", samplerate = "44.1", mode = "Joint Stereo       ";
    std::string vbr = "OFF ", max_bitrate = "192", quality = "0", fixed = "NO ";
    std::string copyrighted = "NO ", original = "YES", private_flag = "NO ", crc = "NO ";
};
std::string summary_box(const SummaryCells& cells);

// Turns the UTF-8 box-drawing characters back into their code page 437 bytes;
// false when any other byte above 127 is met (a raw box byte among them).
bool utf8_boxes_to_cp437(const std::string& utf8, std::string& cp437);

}  // namespace kt
