// What a run writes on standard output, read through a pipe as a front end
// reads it: the help pages, the banner and summary, the emulation header,
// the progress lines and the closing lines, all as code page 437 bytes.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/screen_text.h"
#include "kovex_build.h"
#include "support/test_support.h"

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

const char kFinalPrompt[] = "\n\n  Encoding Process is complete... Press Enter to EXIT...";
const char kColumnHeader[] = "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA \n";

kt::RunResult run_fake(const std::string& wav, const std::vector<std::string>& args, Env env = {}) {
    kt::ProgramFolder folder(kt::Engine::fake);
    kt::write_file(folder.dir.file("in.wav"), wav);
    kt::RunOptions options;
    options.env = env;
    return kt::run_program(folder.program, args, options);
}

std::string header_only_wav(uint16_t channels = 2, uint32_t rate = 44100) {
    kt::WavFormat format;
    format.channels = channels;
    format.sample_rate = rate;
    return kt::wav_file(format, "");
}

const Env kChosenVersion = {{"FAKE_ENGINE_VERSION", "1,5,3,100,7,9,2024"}};
const char kLibraryLine[] = "  Initialized: lame_enc.dll version 1.05 (7/9/2024)\n";
const char kEngineLine[] = "  Initialized: LAME MP3 Engine version 3.100\n";

TEST(ConsoleScreen, HelpPagesReachAPipeAsTheyStand) {
    // A UTF-8 locale changes nothing when the output is not a terminal.
    const Env locales[] = {{}, {{"LANG", "C.UTF-8"}}, {{"LC_ALL", "C.UTF-8"}}};
    for (const Env& env : locales) {
        SCOPED_TRACE(env.empty() ? "no locale" : env[0].first);
        kt::ProgramFolder folder(kt::Engine::none);
        kt::RunOptions options;
        options.env = env;
        kt::RunResult result = kt::run_program(folder.program, {}, options);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(kt::screen_matches(result.out, kt::help_pages()));
    }
}

TEST(ConsoleScreen, BannerShowsTheEngineVersions) {
    struct Case {
        Env env;
        const char* library_line;
        const char* engine_line;
        const char* why;
    } cases[] = {
        {kChosenVersion, kLibraryLine, kEngineLine, "minor 5 as 05, the date day first without zeros"},
        {{}, "  Initialized: lame_enc.dll version 0.00 (0/0/0)\n", "  Initialized: LAME MP3 Engine version 0.00\n",
         "an engine that leaves the zeroed record untouched"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::RunResult result = run_fake(header_only_wav(), {"in.wav", "out.mp3"}, c.env);
        ASSERT_EQ(result.status, 0) << result.err;
        kt::Screen expected = kt::title_banner(c.library_line, c.engine_line);
        kt::append(expected, kt::summary_box({}) + "  Not Resampling\n  Estimated Output Size = 0.00Mb\n\n" + kFinalPrompt);
        EXPECT_TRUE(kt::screen_matches(result.out, expected));
    }
}

TEST(ConsoleScreen, SummaryShowsTheResolvedSettings) {
    struct Case {
        std::vector<std::string> switches;
        std::string wav;
        kt::SummaryCells cells;
        std::string tail;
        const char* why;
    };
    std::vector<Case> cases;
    const std::string no_resample = "  Not Resampling\n  Estimated Output Size = 0.00Mb\n\n";
    cases.push_back({{}, header_only_wav(), {}, no_resample, "defaults for a 44.1 kHz stereo WAV"});
    {
        kt::SummaryCells cells;
        cells.bitrate = " 80";
        cells.vbr = "ON  ";
        cells.max_bitrate = "256";
        cells.fixed = "YES";
        cases.push_back({{"-vbr"}, header_only_wav(), cells, "  Not Resampling\n\n\n",
                         "VBR: floor of 80, the maximum shown, no estimate"});
    }
    {
        kt::SummaryCells cells;
        cells.bitrate = " 96";
        cells.mode = "Mono               ";
        cases.push_back({{"-mm"}, header_only_wav(), cells, no_resample, "-mm: 96 kbps, the maximum stays 192"});
        cases.push_back({{}, header_only_wav(1), cells, no_resample, "a one-channel WAV the same"});
    }
    cases.push_back({{"--resample22050"}, header_only_wav(), {},
                     "  Re-sampling to 22050Hz\n  Estimated Output Size = 0.00Mb\n\n", "a resample"});
    {
        kt::SummaryCells cells;
        cells.copyrighted = "YES";
        cells.original = "NO ";
        cells.private_flag = "YES";
        cells.crc = "YES";
        cases.push_back({{"-c", "-o", "-PRIVATE", "-p"}, header_only_wav(), cells, no_resample, "every flag turned"});
    }
    {
        kt::SummaryCells cells;
        cells.bitrate = " 32";
        cells.max_bitrate = " 32";
        cells.samplerate = "32.0";
        cases.push_back({{"-b32"}, header_only_wav(2, 32000), cells,
                         "  Re-sampling to 11025Hz\n  Estimated Output Size = 0.00Mb\n\n",
                         "two-digit bitrates, 32.0 kHz, down-sampling"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> args = c.switches;
        args.push_back("in.wav");
        args.push_back("out.mp3");
        kt::RunResult result = run_fake(c.wav, args, kChosenVersion);
        ASSERT_EQ(result.status, 0) << result.err;
        kt::Screen expected = kt::title_banner(kLibraryLine, kEngineLine);
        kt::append(expected, kt::summary_box(c.cells) + c.tail + kFinalPrompt);
        EXPECT_TRUE(kt::screen_matches(result.out, expected));
    }
}

TEST(ConsoleScreen, GuiRunWritesTheEmulationHeaderAndClosingLines) {
    auto header = [](const std::string& mode_line) {
        return std::string("LAME version 3.100 (KOVEX ") + kVersionString +
               " - LAME Emulation MODE)\nCPU features: UNKNOWN\n"
               "Using KOVA Enhancements\nEncoding in.wav to out.mp3\n" +
               mode_line + kColumnHeader;
    };
    auto closing = [](const std::string& bitrate) {
        return "\naverage: " + bitrate + " kbps   LR: 303 (100.0%)\n\nWriting LAME Tag...done\n";
    };
    struct Case {
        std::vector<std::string> switches;
        std::string wav;
        std::string out;
        const char* why;
    } cases[] = {
        {{}, header_only_wav(),
         header("Encoding as 44.100 kHz 192 kbps j-stereo MPEG-1 Layer III\n") + closing("192.0"),
         "no banner, no summary, no prompt"},
        {{"-vbr"}, header_only_wav(),
         header("Encoding as 44.100 kHz 80 kbps j-stereo MPEG-1 Layer III\n") + std::string(14, '\n') + closing("80.0"),
         "VBR adds fourteen line feeds"},
        {{"--resample22050"}, header_only_wav(),
         header("Encoding as 22.050 kHz 192 kbps j-stereo MPEG-1 Layer III\n") + closing("192.0"),
         "the output rate, not the input rate"},
        {{}, header_only_wav(1), header("Encoding as 44.100 kHz 96 kbps single-ch MPEG-1 Layer III\n") + closing("96.0"),
         "mono"},
        {{"-ms"}, header_only_wav(), header("Encoding as 44.100 kHz 192 kbps stereo MPEG-1 Layer III\n") + closing("192.0"),
         "stereo"},
        {{"-md"}, header_only_wav(), header("Encoding as 44.100 kHz 192 kbps dual-ch MPEG-1 Layer III\n") + closing("192.0"),
         "dual channel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"-GUI", "in.wav", "out.mp3"});
        kt::RunResult result = run_fake(c.wav, args, kChosenVersion);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, c.out);
    }
}

// The progress lines of a run: everything between the last line feed before
// the first carriage return and the last carriage return.
std::vector<std::string> progress_lines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t first_return = out.find('\r');
    if (first_return == std::string::npos) return lines;
    std::size_t at = out.rfind('\n', first_return) + 1;
    std::size_t last_return = out.rfind('\r');
    while (at <= last_return) {
        std::size_t end = out.find('\r', at);
        lines.push_back(out.substr(at, end + 1 - at));
        at = end + 1;
    }
    return lines;
}

TEST(ConsoleScreen, OneProgressLinePerChunkInEachStyle) {
    // Ten full chunks of 2304 values and a short one of 500, and an odd last
    // byte that belongs to no value: 11 chunks; the input is 47,125 bytes.
    const std::string wav = kt::wav_file({}, kt::music_samples(11770, 2, 44100) + std::string(1, '\x7F'));
    ASSERT_EQ(wav.size(), 47125u);
    const std::string bar_start = "  File progress: \xB3";
    struct Case {
        std::vector<std::string> switches;
        std::string first, last;  // each line up to its time fields
        std::string times;        // the rest of every line
        const char* why;
    } cases[] = {
        {{}, bar_start + std::string(3, '\xB2') + std::string(36, ' ') + "\xB3 (9.78%) ETA ",
         bar_start + std::string(39, '\xB2') + "\xB3 (99.90%) ETA ", R"(\d+:\d\d\r)", "the bar, the default"},
        {{"-PROG2"}, "  (9.78%) Complete... Input File-size = 0.04Mb... ETA ",
         "  (99.90%) Complete... Input File-size = 0.04Mb... ETA ", R"(\d+:\d\d\r)", "the statistics line"},
        {{"-GUI"}, "   489/5000   (10%)|", "  4995/5000   (99%)|",
         R"(   \d+:\d\d/     \d+:\d\d\|    \d+:\d\d/    \d+:\d\d\|   6\.0000x\|    \d+:\d\d  \r)", "the emulation line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"in.wav", "out.mp3"});
        kt::RunResult result = run_fake(wav, args);
        ASSERT_EQ(result.status, 0) << result.err;
        std::vector<std::string> lines = progress_lines(result.out);
        ASSERT_EQ(lines.size(), 11u);
        EXPECT_EQ(lines.front().substr(0, c.first.size()), c.first);
        EXPECT_EQ(lines.back().substr(0, c.last.size()), c.last);
        std::regex times(c.times);
        for (const std::string& line : lines) {
            std::size_t cut = c.switches.empty() || c.switches[0] == "-PROG2" ? line.rfind("ETA ") + 4 : line.find('|') + 1;
            EXPECT_TRUE(std::regex_match(line.substr(cut), times)) << line;
        }
    }
}

TEST(ConsoleScreen, RealEngineGivesOneLinePerChunkOfMp3Frames) {
    // 44.1 kHz stereo: the real engine takes 32 MP3 frames of 1152 pairs per
    // chunk; seven full chunks and a short one.
    const uint32_t frames = 32 * 1152 * 7 + 100;
    kt::ProgramFolder folder(kt::Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(frames, 2, 44100)));
    kt::RunResult result = kt::run_program(folder.program, {"in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(progress_lines(result.out).size(), 8u);
}

}  // namespace
