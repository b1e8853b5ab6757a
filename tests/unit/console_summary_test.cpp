// The settings summary with its resample and estimate lines, the estimate
// itself, the input size, and the header of the LAME emulation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "decisions/code_page_437.h"
#include "decisions/screen_texts.h"
#include "stages/run_files.h"
#include "kovex_build.h"
#include "support/screen_text.h"

namespace {

RunSettings default_settings() {
    RunSettings s;
    s.effective_bitrate = 192;
    return s;
}

TEST(EstimateOutputSize, FollowsThe32BitStepsInUnitsOf1049024Bytes) {
    struct Case {
        uint64_t input_size;
        int input_rate;
        int mode_kind;
        int bitrate;
        float expected;
        const char* why;
    } cases[] = {
        {2 * 1049024u, 48000, kModeStereo, 192, 0.25f, "ratio exactly 0.125: the unit is 1,049,024 bytes"},
        {2 * 1049024u, 48000, kModeMono, 96, 0.25f, "mono halves the PCM rate to 768"},
        {0, 44100, kModeJointStereo, 192, 0.0f, "an empty raw input"},
        {4 * 1049024u, 32000, kModeDualChannel, 256, 1.0f, "dual channel keeps the full 1024"},
        {2 * 1049024u, 44100, kModeMono, 705, 2.0f * 705.0f / 705.5f, "mono at 44.1 kHz is 705.5, not 705"},
        {(5ull << 30) + 44, 48000, kModeStereo, 192, 639.7267f, "an input beyond 4 GiB is not counted modulo 4 GiB"},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(estimate_output_size(c.input_size, c.input_rate, c.mode_kind, c.bitrate), c.expected) << c.why;
    }
}

TEST(EstimateOutputSize, RoundsLikeThe32BitStepsWhereDoublePrecisionWouldNot) {
    // At these sizes the float ratio and product tip the second decimal the other
    // way from an estimate worked out in double precision (31.96, 32.93).
    char text[32];
    std::snprintf(text, sizeof text, "%0.2f",
                  static_cast<double>(estimate_output_size(246425648u, 44100, kModeJointStereo, 192)));
    EXPECT_STREQ(text, "31.97");
    std::snprintf(text, sizeof text, "%0.2f",
                  static_cast<double>(estimate_output_size(380739807u, 44100, kModeJointStereo, 128)));
    EXPECT_STREQ(text, "32.92");
}

TEST(SettingsSummary, BoxResampleAndEstimateLines) {
    struct Case {
        const char* why;
        RunSettings settings;
        uint32_t engine_in, engine_out, input_size;
        kt::SummaryCells cells;
        const char* tail;
    };
    std::vector<Case> cases;
    cases.push_back({"default run", default_settings(), 44100, 44100, 2 * 1049024u, {},
                     "  Not Resampling\n  Estimated Output Size = 0.27Mb\n\n"});
    {
        RunSettings s = default_settings();
        s.bitrate = 80;
        s.vbr_flag = 1;
        s.effective_bitrate = 256;
        s.fixed_flag = 1;
        kt::SummaryCells cells;
        cells.bitrate = " 80";
        cells.vbr = "ON  ";
        cells.max_bitrate = "256";
        cells.fixed = "YES";
        cases.push_back({"VBR: two line feeds instead of the estimate", s, 44100, 44100, 2 * 1049024u, cells, "  Not Resampling\n\n\n"});
    }
    {
        RunSettings s = default_settings();
        s.bitrate = 96;
        s.mode_kind = kModeMono;
        kt::SummaryCells cells;
        cells.bitrate = " 96";
        cells.mode = "Mono               ";
        cases.push_back({"-mm without -b: bitrate 96, maximum still 192", s, 44100, 44100, 1049024u * 4, cells,
                         "  Not Resampling\n  Estimated Output Size = 0.54Mb\n\n"});
    }
    {
        kt::SummaryCells cells;
        cases.push_back({"resampled: the cell shows the input rate", default_settings(), 44100, 22050, 0, cells,
                         "  Re-sampling to 22050Hz\n  Estimated Output Size = 0.00Mb\n\n"});
    }
    {
        RunSettings s = default_settings();
        s.copyright_flag = 1;
        s.original_flag = 0;
        s.private_flag = 1;
        s.crc_flag = 1;
        kt::SummaryCells cells;
        cells.copyrighted = "YES";
        cells.original = "NO ";
        cells.private_flag = "YES";
        cells.crc = "YES";
        cases.push_back({"each flag turned", s, 44100, 44100, 0, cells, "  Not Resampling\n  Estimated Output Size = 0.00Mb\n\n"});
    }
    {
        RunSettings s = default_settings();
        s.bitrate = 32;
        s.effective_bitrate = 32;
        s.input_rate = 32000;
        s.mode_kind = kModeStereo;
        s.vbr_quality = 9;
        kt::SummaryCells cells;
        cells.bitrate = " 32";
        cells.max_bitrate = " 32";
        cells.samplerate = "32.0";
        cells.mode = "Stereo             ";
        cells.quality = "9";
        cases.push_back({"two-digit bitrates right-aligned, 32.0 kHz", s, 32000, 11025, 1049024u, cells,
                         "  Re-sampling to 11025Hz\n  Estimated Output Size = 0.03Mb\n\n"});
    }
    {
        RunSettings s = default_settings();
        s.bitrate = 320;
        s.effective_bitrate = 320;
        s.input_rate = 48000;
        s.mode_kind = kModeDualChannel;
        kt::SummaryCells cells;
        cells.bitrate = "320";
        cells.max_bitrate = "320";
        cells.samplerate = "48.0";
        cells.mode = "Dual Channel       ";
        cases.push_back({"48.0 kHz, dual channel", s, 48000, 48000, 4 * 1049024u, cells,
                         "  Not Resampling\n  Estimated Output Size = 0.83Mb\n\n"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(kt::screen_matches(settings_summary_text(c.settings, c.engine_in, c.engine_out, c.input_size),
                                       kt::exact(kt::summary_box(c.cells) + c.tail)));
    }
}

EngineVersion engine_version(uint8_t major, uint8_t minor) {
    EngineVersion version;
    std::memset(&version, 0, sizeof version);
    version.engine_major = major;
    version.engine_minor = minor;
    return version;
}

TEST(EmulationHeader, ModeLinesAndTheVbrLineFeeds) {
    const std::string column_header = "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA \n";
    const std::string kVersion = kVersionString;
    struct Case {
        int mode_kind;
        int vbr_flag;
        uint32_t output_rate;
        uint8_t minor;
        std::string version_line;
        const char* mode_line;
        const char* after;
    } cases[] = {
        {kModeStereo, 0, 44100, 100, "LAME version 3.100 (KOVEX " + kVersion + " - LAME Emulation MODE)\n",
         "Encoding as 44.100 kHz 128 kbps stereo MPEG-1 Layer III\n", ""},
        {kModeMono, 0, 22050, 5, "LAME version 3.05 (KOVEX " + kVersion + " - LAME Emulation MODE)\n",
         "Encoding as 22.050 kHz 128 kbps single-ch MPEG-1 Layer III\n", ""},
        {kModeJointStereo, 1, 48000, 99, "LAME version 3.99 (KOVEX " + kVersion + " - LAME Emulation MODE)\n",
         "Encoding as 48.000 kHz 128 kbps j-stereo MPEG-1 Layer III\n", "\n\n\n\n\n\n\n\n\n\n\n\n\n\n"},
        {kModeDualChannel, 0, 8000, 0, "LAME version 3.00 (KOVEX " + kVersion + " - LAME Emulation MODE)\n",
         "Encoding as 8.000 kHz 128 kbps dual-ch MPEG-1 Layer III\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode_line);
        RunSettings s = default_settings();
        s.bitrate = 128;
        s.mode_kind = c.mode_kind;
        s.vbr_flag = c.vbr_flag;
        std::string expected = c.version_line + "CPU features: UNKNOWN\nUsing KOVA Enhancements\n" +
                               "Encoding in.wav to out.mp3\n" + c.mode_line + column_header + c.after;
        EXPECT_EQ(
            emulation_header_text(engine_version(3, c.minor), kVersionString, "in.wav", "out.mp3", s, c.output_rate),
            expected);
    }
}

TEST(EmulationHeader, FileNamesAreDataNotFormats) {
    std::string name(254, 'n');
    name.replace(0, 5, "%s%n%");
    std::string text = emulation_header_text(engine_version(3, 100), kVersionString, name.c_str(), "b.mp3",
                                             default_settings(), 44100);
    EXPECT_NE(text.find("Encoding " + name + " to b.mp3\n"), std::string::npos);
}

TEST(MeasureInputSize, IsTheWholeFileWhereverItsPosition) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::string bytes(1000, 'x');
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
    std::fseek(file, 10, SEEK_SET);
    EXPECT_EQ(measure_input_size(file), 1000u);
    std::fclose(file);
}

}  // namespace
