// The title banner shown after the engine is bound, and the three help pages
// of a run without arguments.
#include <cstring>

#include "decisions/screen_texts.h"
#include "decisions/text_building.h"

namespace {

// The maker's notices. Each sits in a cell of fixed width, or on a line of
// its own within the 77-column rules, so the boxes stay aligned.
constexpr std::size_t kTitleNoticeWidth = 29;
constexpr std::size_t kBoxNoticeWidth = 76;
const char kTitleNotice[] = "  by the kovex project";
const char kBoxNotice[] = " Made by the kovex project.  MP3 engine: LAME, by the LAME project.";
const char kBannerNotice[] = "kovex project - encoding with the LAME MP3 engine (lame_enc.dll)";
const char* const kHelpNotices[3] = {
    "kovex is made by the kovex project.",
    "All rights to kovex are held by the kovex project's contributors.",
    "MP3 engine: LAME, by the LAME project, loaded from lame_enc.dll.",
};

const char kRule[] = " =============================================================================\n";

const char kHelpPage1Usage[] =
    " \n"
    " Usage: kovex <filename.wav> (Uses default output settings)\n"
    " Usage: kovex [-<options>{settings}] <filein.wav> <fileout.mp3>\n"
    "\n"
    " If using a GUI (frontend) for LAME, add the -GUI switch to the frontend.\n"
    " All switches are explained on the next screen.\n"
    " \n";

const char kHelpPage1Closing[] =
    " \n"
    " All Switches are compatible with the LAME Encoder.\n"
    " Input file settings are now automatically detected.\n"
    " You can only use 16-Bit WAV files.\n"
    " \n";

const char kHelpPage2[] =
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

// Written as it stands: the "100%" is a plain character, not a conversion.
const char kHelpPage3[] =
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

const char* const kHelpPrompts[3] = {
    " Press Enter to Continue...",
    " Press Enter to Continue...",
    " Press Enter to EXIT...",
};

constexpr unsigned char kHorizontal = 0xCD;

}  // namespace

std::string title_box_text(const char* version_string) {
    std::string out;
    append_border(out, {{0xC9, 1}, {kHorizontal, 28}, {0xCB, 1}, {kHorizontal, 17}, {0xCB, 1},
                        {kHorizontal, 29}, {0xBB, 1}});
    append_format(out, " \xBA  KOVA Enhanced MP3 Encoder \xBA  Version %s  \xBA", version_string);
    append_cell(out, kTitleNotice, kTitleNoticeWidth);
    out += "\xBA\n";
    append_border(out, {{0xCC, 1}, {kHorizontal, 28}, {0xCA, 1}, {kHorizontal, 17}, {0xCA, 1},
                        {kHorizontal, 29}, {0xB9, 1}});
    out += " \xBA Enhanced CBR|VBR|ABR MP3 Encoder. Encode the WORLD!                        \xBA\n";
    out += " \xBA (Encodes to 192kbps (96 if mono) by default - Use 256kbps for studio use)  \xBA\n";
    out += " \xBA";
    append_cell(out, kBoxNotice, kBoxNoticeWidth);
    out += "\xBA\n";
    append_border(out, {{0xC8, 1}, {kHorizontal, 76}, {0xBC, 1}});
    return out;
}

std::string help_page_text(int page, const char* version_string) {
    if (page == 2) return kHelpPage2;
    if (page == 3) return kHelpPage3;
    std::string out = title_box_text(version_string);
    out += kHelpPage1Usage;
    out += kRule;
    for (const char* notice : kHelpNotices) {
        out += ' ';
        out += notice;
        out += '\n';
    }
    out += kRule;
    out += kHelpPage1Closing;
    return out;
}

const char* help_page_prompt(int page) {
    return page >= 1 && page <= 3 ? kHelpPrompts[page - 1] : "";
}

std::string title_banner_text(const EngineVersion& version, const char* version_string) {
    std::string out = title_box_text(version_string);
    out += "  ";
    out += kBannerNotice;
    out += '\n';
    append_format(out, "  Initialized: lame_enc.dll version %u.%02u (%u/%u/%u)\n",
                  unsigned{version.library_major}, unsigned{version.library_minor},
                  unsigned{version.release_day}, unsigned{version.release_month},
                  unsigned{version.release_year});
    append_format(out, "  Initialized: LAME MP3 Engine version %u.%02u\n", unsigned{version.engine_major},
                  unsigned{version.engine_minor});
    return out;
}
