#include "support/screen_text.h"

#include "kovex_build.h"

#include <map>
#include <regex>

namespace kt {

namespace {

constexpr unsigned char H = 0xCD;  // horizontal line

ScreenPiece notice_line(const std::string& starts, const std::string& ends, std::size_t min_width,
                        std::size_t max_width) {
    ScreenPiece piece;
    piece.notice = true;
    piece.text = starts;
    piece.suffix = ends;
    piece.min_width = min_width;
    piece.max_width = max_width;
    return piece;
}

std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string around(const std::string& text, std::size_t at) {
    std::size_t from = at > 40 ? at - 40 : 0;
    return printable(text.substr(from, 120));
}

const char* const kPage2 =
    "\n"
    " \n"
    " \n"
    " General Switches:\n"
    "         -b <bitrate>       Specifies the bitrate to use. 192kbps is default\n"
    "         -B <bitrate>       Specifies the Maximum bitrate to use for VBR.\n"
    "         -vbr               Turns VBR on. Uses -b as the minimum bitrate.\n"
    "                            If no bitrate is specified, 192kbps is used.\n"
    "         -V <0-9>           Specify VBR quality. 0 highest, 9 Lowest.\n"
    "                            Also turns VBR on automatically.\n"
    "         -s <frequency      Specifies the input sample rate. (Required for RAW)\n"
    "         -m <s|j|d|m>       Specifies whether input file is (s)stereo\n"
    "                            (j)joint stereo (d)dual cannel (m)mono.\n"
    "                            If input is stereo, you can use Joint Stereo too.\n"
    "         -p                 Adds Checksum protection data to MP3 file.\n"
    "         -c                 Make the file copyrighted.\n"
    "         -o                 Output is not original. (Output is copied).\n"
    "         -private           Mark Output as Private.\n"
    "         -PROG <1-2>        Select progress indicator.(1 default,2 Statistics)\n"
    "         -r                 Specifies that file is RAW.\n"
    "         -GUI               Emulates LAME screen output, to work with LAME\n"
    "                            frontends (GUI's)\n"
    "         --resample <rate>  Select a sample rate that you want the out put file\n"
    "                            to be. Low samplerates, may reduce bitrate\n"
    "                            automatically.\n"
    "         --ABR              (Temporary switch!) Turns ABR on, uses -b as the \n"
    "                            average rate. Read WARNING.txt for details.\n";

const char* const kPage3 =
    "\n"
    "\n"
    "       --strictly-enforce-ISO    Encodes the output to strict MP3 format\n"
    "                                 specifications.\n"
    "                                 This will reduce quality, KOVEX outputs 100%\n"
    "                                 compatible MP3 files for all decoders anyway.\n"
    " \n"
    " \n"
    " \n"
    " \n"
    " \n"
    " \n"
    " NOTE: --ABR(--abr in future), is still not functioning correctly.\n"
    " \n"
    " \n"
    " \n"
    " \n"
    " General Information:\n"
    "\n"
    " Valid Bitrates are: 32/40/48/56/64/80/96/112/128/160/192/224/256/320\n"
    "\n"
    " Valid Input Sample rates are: 32000/44100/48000\n"
    " \n"
    " Valid re-sample rates are: 8000/11025/12000/16000/22050/24000/32000/44100/48000\n";

const std::string kRule = " " + std::string(77, '=') + "\n";

}  // namespace

Screen exact(const std::string& text) {
    ScreenPiece piece;
    piece.text = text;
    return {piece};
}

void append(Screen& screen, const Screen& more) {
    for (const ScreenPiece& piece : more) {
        if (!piece.notice && !screen.empty() && !screen.back().notice) {
            screen.back().text += piece.text;
        } else {
            screen.push_back(piece);
        }
    }
}

void append(Screen& screen, const std::string& exact_text) { append(screen, exact(exact_text)); }

::testing::AssertionResult screen_matches(const std::string& actual, const Screen& expected) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ScreenPiece& piece = expected[i];
        if (!piece.notice) {
            if (actual.compare(at, piece.text.size(), piece.text) != 0) {
                std::size_t differs = at;
                while (differs < actual.size() && differs - at < piece.text.size() &&
                       actual[differs] == piece.text[differs - at])
                    ++differs;
                return ::testing::AssertionFailure()
                       << "differs at byte " << differs << "\n  actual:   " << around(actual, differs)
                       << "\n  expected: " << around(piece.text, differs - at);
            }
            at += piece.text.size();
            continue;
        }
        std::size_t end = actual.find('\n', at);
        if (end == std::string::npos) return ::testing::AssertionFailure() << "notice line without line feed at " << at;
        std::string line = actual.substr(at, end - at);
        if (line.size() < piece.min_width || line.size() > piece.max_width)
            return ::testing::AssertionFailure() << "notice line of " << line.size() << " columns, want "
                                                 << piece.min_width << " to " << piece.max_width << ": "
                                                 << printable(line);
        if (line.compare(0, piece.text.size(), piece.text) != 0 ||
            line.size() < piece.text.size() + piece.suffix.size() ||
            line.compare(line.size() - piece.suffix.size(), piece.suffix.size(), piece.suffix) != 0)
            return ::testing::AssertionFailure() << "notice line out of its frame: " << printable(line);
        std::string words = line.substr(piece.text.size(), line.size() - piece.text.size() - piece.suffix.size());
        if (words.find_first_not_of(' ') == std::string::npos)
            return ::testing::AssertionFailure() << "empty notice: " << printable(line);
        for (unsigned char c : words) {
            if (c < 0x20 || c >= 0x7F) return ::testing::AssertionFailure() << "notice not plain text: " << printable(line);
        }
        at = end + 1;
    }
    if (at != actual.size())
        return ::testing::AssertionFailure() << "more text than expected from byte " << at << ": "
                                             << around(actual, at);
    return ::testing::AssertionSuccess();
}

std::string border(std::initializer_list<std::pair<unsigned char, int>> runs) {
    std::string out = " ";
    for (const auto& [byte, count] : runs) out += std::string(static_cast<std::size_t>(count), static_cast<char>(byte));
    return out + "\n";
}

Screen title_box(const std::string& version) {
    Screen screen = exact(border({{0xC9, 1}, {H, 28}, {0xCB, 1}, {H, 17}, {0xCB, 1}, {H, 29}, {0xBB, 1}}));
    // The title row's last cell is a 29-column notice: 79 columns in all.
    screen.push_back(notice_line(" \xBA  KOVA Enhanced MP3 Encoder \xBA  Version " + version + "  \xBA", "\xBA", 79, 79));
    append(screen, border({{0xCC, 1}, {H, 28}, {0xCA, 1}, {H, 17}, {0xCA, 1}, {H, 29}, {0xB9, 1}}));
    append(screen, " \xBA Enhanced CBR|VBR|ABR MP3 Encoder. Encode the WORLD!                        \xBA\n");
    append(screen, " \xBA (Encodes to 192kbps (96 if mono) by default - Use 256kbps for studio use)  \xBA\n");
    screen.push_back(notice_line(" \xBA ", "\xBA", 79, 79));
    append(screen, border({{0xC8, 1}, {H, 76}, {0xBC, 1}}));
    return screen;
}

Screen help_page(int page) {
    if (page == 2) return exact(kPage2);
    if (page == 3) return exact(kPage3);
    Screen screen = title_box(kVersionString);
    append(screen,
           " \n"
           " Usage: kovex <filename.wav> (Uses default output settings)\n"
           " Usage: kovex [-<options>{settings}] <filein.wav> <fileout.mp3>\n"
           "\n"
           " If using a GUI (frontend) for LAME, add the -GUI switch to the frontend.\n"
           " All switches are explained on the next screen.\n"
           " \n");
    append(screen, kRule);
    // Three notices between the rules, none wider than the rules.
    for (int i = 0; i < 3; ++i) screen.push_back(notice_line(" ", "", 2, 78));
    append(screen, kRule);
    append(screen,
           " \n"
           " All Switches are compatible with the LAME Encoder.\n"
           " Input file settings are now automatically detected.\n"
           " You can only use 16-Bit WAV files.\n"
           " \n");
    return screen;
}

std::string help_prompt(int page) { return page == 3 ? " Press Enter to EXIT..." : " Press Enter to Continue..."; }

Screen help_pages() {
    Screen screen;
    for (int page = 1; page <= 3; ++page) {
        append(screen, help_page(page));
        append(screen, help_prompt(page));
    }
    return screen;
}

Screen title_banner(const std::string& library_line, const std::string& engine_line) {
    Screen screen = title_box(kVersionString);
    screen.push_back(notice_line("  ", "", 3, 79));
    append(screen, library_line + engine_line);
    return screen;
}

std::string summary_box(const SummaryCells& c) {
    return border({{0xC9, 1}, {H, 18}, {0xCB, 1}, {H, 21}, {0xCB, 1}, {H, 33}, {0xBB, 1}}) +
           " \xBA Bitrate: " + c.bitrate + "Kbps \xBA Samplerate: " + c.samplerate + "KHz \xBA Sound Mode: " + c.mode +
           " \xBA\n" +
           border({{0xCC, 1}, {H, 18}, {0xCA, 1}, {H, 2}, {0xCB, 1}, {H, 18}, {0xCA, 1}, {H, 3}, {0xCB, 1}, {H, 16},
                   {0xCB, 1}, {H, 12}, {0xB9, 1}}) +
           " \xBA VBR is switched " + c.vbr + "\xBA Max Bitrate: " + c.max_bitrate + "Kbps \xBA VBR Quality: " + c.quality +
           " \xBA Fixed: " + c.fixed + " \xBA\n" +
           border({{0xCC, 1}, {H, 18}, {0xCB, 1}, {H, 2}, {0xCA, 1}, {H, 12}, {0xCB, 1}, {H, 9}, {0xCA, 1}, {H, 5},
                   {0xCB, 1}, {H, 10}, {0xCA, 1}, {H, 12}, {0xB9, 1}}) +
           " \xBA Copyrighted: " + c.copyrighted + " \xBA Original: " + c.original + " \xBA Private : " + c.private_flag +
           " \xBA CRC Protection: " + c.crc + "   \xBA\n" +
           border({{0xC8, 1}, {H, 18}, {0xCA, 1}, {H, 15}, {0xCA, 1}, {H, 15}, {0xCA, 1}, {H, 23}, {0xBC, 1}});
}

bool utf8_boxes_to_cp437(const std::string& utf8, std::string& cp437) {
    static const std::map<std::string, char> kBoxes = {
        {"\u2554", '\xC9'}, {"\u2557", '\xBB'}, {"\u255A", '\xC8'}, {"\u255D", '\xBC'}, {"\u2550", '\xCD'},
        {"\u2551", '\xBA'}, {"\u2566", '\xCB'}, {"\u2569", '\xCA'}, {"\u2560", '\xCC'}, {"\u2563", '\xB9'},
        {"\u2593", '\xB2'}, {"\u2502", '\xB3'},
    };
    cp437.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            cp437 += utf8[i++];
            continue;
        }
        auto found = kBoxes.find(utf8.substr(i, 3));
        if (found == kBoxes.end()) return false;
        cp437 += found->second;
        i += 3;
    }
    return true;
}

std::string without_times(const std::string& screen) {
    static const std::regex kTime(R"(\d+:\d\d)");
    return std::regex_replace(screen, kTime, "m:ss");
}

std::string first_screen_difference(const std::string& got, const std::string& want) {
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    std::size_t start = at;
    while (start > 0 && got[start - 1] != '\n' && got[start - 1] != '\r') --start;
    auto line = [start](const std::string& text) {
        std::size_t end = text.find_first_of("\r\n", start);
        return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    };
    return "at byte " + std::to_string(at) + ": got \"" + line(got) + "\", want \"" + line(want) + "\"";
}

}  // namespace kt
