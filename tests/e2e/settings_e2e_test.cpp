// The settings as a whole run applies them: from real argument vectors and real
// WAV headers to the record the engine receives, to the refusals of headers the
// program cannot encode, and to the frame headers of the MP3 the real engine writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine_interface/engine_api.h"
#include "support/test_support.h"

namespace {

using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;
using kt::WavFormat;

constexpr int kFailure = 255;  // -1 as the system reports it

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string bytes_of(const EngineConfig& config) {
    return std::string(reinterpret_cast<const char*>(&config), sizeof config);
}

// A short tone; the fake engine does not look at it, the real one needs sound.
std::string wav(uint16_t channels, uint32_t rate, uint32_t frames = 4410) {
    WavFormat format;
    format.channels = channels;
    format.sample_rate = rate;
    return kt::wav_file(format, kt::music_samples(frames, channels, rate));
}

WavFormat mono_format() {
    WavFormat format;
    format.channels = 1;
    return format;
}

// What the header probe and the argument count contribute is seen only in a real run:
// each case states how the received record differs from the defaults.
TEST(SettingsEndToEnd, TheEngineReceivesTheResolvedRecord) {
    struct Case {
        const char* why;
        std::vector<std::string> args;
        std::string input;  // the bytes of the file named in.wav or in.raw
        void (*expect)(EngineConfig&);
    } cases[] = {
        {"a one-channel file as the only argument stays Mono, at the mono default", {"in.wav"}, wav(1, 44100),
         [](EngineConfig& c) {
             c.mode = kEngineModeMono;
             c.bitrate = 96;
             c.vbr_quality = 0;
         }},
        {"the header's 48000 survives the single-argument reset", {"in.wav"}, wav(2, 48000),
         [](EngineConfig& c) {
             c.input_rate = 48000;
             c.output_rate = 48000;
             c.vbr_quality = 0;
         }},
        {"the header's 32000 with two names", {"in.wav", "out.mp3"}, wav(2, 32000),
         [](EngineConfig& c) {
             c.input_rate = 32000;
             c.output_rate = 32000;
         }},
        {"-b and 128 as two arguments", {"-b", "128", "in.wav", "out.mp3"}, wav(2, 44100),
         [](EngineConfig& c) { c.bitrate = 128; }},
        {"--resample and 22.05 as two arguments on a 48 kHz file: a resample is no raw input, 48000 declared",
         {"--resample", "22.05", "in.wav", "out.mp3"}, wav(2, 48000),
         [](EngineConfig& c) {
             c.input_rate = 48000;
             c.output_rate = 22050;
         }},
        {"--resample22050 in one argument the same", {"--resample22050", "in.wav", "out.mp3"}, wav(2, 48000),
         [](EngineConfig& c) {
             c.input_rate = 48000;
             c.output_rate = 22050;
         }},
        {"-V2: the VBR pair and quality 2, no VBR header", {"-V2", "in.wav", "out.mp3"}, wav(2, 44100),
         [](EngineConfig& c) {
             c.bitrate = 32;
             c.max_bitrate = 256;
             c.vbr_flag = 1;
             c.vbr_quality = 2;
         }},
        {"-vbr: maximum 320, the VBR header, and the floor of 80", {"-vbr", "in.wav", "out.mp3"}, wav(2, 44100),
         [](EngineConfig& c) {
             c.bitrate = 80;
             c.max_bitrate = 320;
             c.vbr_flag = 1;
             c.vbr_header_flag = 1;
             c.vbr_quality = 0;
         }},
        {"-b32 on a one-channel 32 kHz file: the mono down-sampling row", {"-b32", "in.wav", "out.mp3"},
         wav(1, 32000),
         [](EngineConfig& c) {
             c.mode = kEngineModeMono;
             c.bitrate = 32;
             c.input_rate = 32000;
             c.output_rate = 22050;
         }},
        {"-private is an unknown switch: neither CRC nor private, and no second argument", {"in.wav", "-private"},
         wav(2, 44100), [](EngineConfig& c) { c.vbr_quality = 0; }},
        {"raw input without a RIFF header: -s gives the rate, the modes the channels, whatever byte 22 holds",
         {"-r", "-s32000", "in.wav", "out.mp3"},
         // not a WAV at all: byte 20 is 0, byte 22 is 1
         std::string(22, '\0') + std::string(1, '\1') + std::string(1000, '\0'),
         [](EngineConfig& c) {
             c.input_rate = 32000;
             c.output_rate = 32000;
         }},
        {"raw input that is a RIFF/WAVE file: the fmt chunk's channel count, wherever that chunk stands",
         {"-r", "in.wav", "out.mp3"},
         kt::riff_wave({kt::riff_chunk("JUNK", std::string(28, '\0')), kt::riff_chunk("fmt ", kt::fmt_body(mono_format())),
                        kt::riff_chunk("data", kt::music_samples(4410, 1, 44100))}),
         [](EngineConfig& c) {
             c.mode = kEngineModeMono;
             c.bitrate = 96;
         }},
    };
    for (const auto& c : cases) {
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), c.input);
        RunOptions options;
        options.env = {{"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")}};
        RunResult result = kt::run_program(folder.program, c.args, options);
        if (result.status != 0) {
            ADD_FAILURE() << c.why << ": status " << result.status << "\n" << result.out << result.err;
            continue;
        }

        EngineConfig expected = kt::default_record();
        c.expect(expected);
        std::string record = kt::read_file(folder.dir.file("record.bin"));
        EXPECT_TRUE(record == bytes_of(expected)) << c.why << ":" << kt::record_differences(record, bytes_of(expected));
    }
}

// Headers that would be encoded at the wrong speed or as noise are refused before
// the output file is created or truncated: a missing one is not made, an existing
// one keeps its bytes.
TEST(SettingsEndToEnd, UnencodableHeadersAreRefused) {
    const std::string kNotPcm = "  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n";
    auto rate_refusal = [](const char* rate) {
        return std::string("  Input sample rate of ") + rate + " Hz is not supported (32000/44100/48000 only).\n";
    };
    auto bits_refusal = [](const char* bits) {
        return std::string("  Input file is not 16-bit PCM (") + bits + " bits per sample).\n";
    };
    auto channels_refusal = [](const char* channels) {
        return std::string("  Input file has ") + channels + " channels; only 1 or 2 are supported.\n";
    };
    auto format = [](uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels) {
        return kt::wav_format(tag, channels, rate, bits);
    };
    const std::string samples(400, '\0');
    auto header = [&](uint16_t tag, uint32_t rate, uint16_t bits, uint16_t channels = 2) {
        return kt::wav_file(format(tag, rate, bits, channels), samples);
    };
    auto extensible = [&](uint16_t subformat, uint16_t bits, uint16_t channels, kt::FmtForm form) {
        return kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(format(subformat, 44100, bits, channels), form)),
                              kt::riff_chunk("data", samples)});
    };
    const std::string fmt = kt::riff_chunk("fmt ", kt::fmt_body({}));
    const std::string data = kt::riff_chunk("data", samples);
    const std::string info = kt::riff_chunk("LIST", "INFO" + kt::riff_chunk("INAM", std::string("Song\0", 5)));
    auto with_id = [&](std::size_t offset, const char* id) {
        std::string file = header(1, 44100, 16);
        file.replace(offset, 4, id);
        return file;
    };
    struct Case {
        const char* why;
        std::string input;
        std::string message;
    } cases[] = {
        {"floating-point samples", header(3, 44100, 32), kNotPcm},
        {"a header too short to hold the rate field, although byte 20 says PCM",
         kt::wav_file({}, "").substr(0, 26), kNotPcm},
        {"22.05 kHz has no detected rate", header(1, 22050, 16), rate_refusal("22050")},
        {"16 kHz shares 48000's low byte, which must not pass for 48000", header(1, 16000, 16),
         rate_refusal("16000")},
        {"96 kHz shares 32000's low byte", header(1, 96000, 16), rate_refusal("96000")},
        {"a rate above 65535 differing from 44100 only in the high bytes", header(1, 44100 + 0x10000, 16),
         rate_refusal("109636")},
        {"8-bit samples", header(1, 44100, 8), bits_refusal("8")},
        {"24-bit samples", header(1, 48000, 24), bits_refusal("24")},
        {"bad rate and bad sample size: the rate is told first", header(1, 22050, 8), rate_refusal("22050")},
        // The whole format tag counts, not its low byte.
        {"tag 0x0101 (IBM mu-law), whose low byte is PCM's", header(0x0101, 44100, 16), kNotPcm},
        {"extensible with the IEEE float subformat", extensible(3, 32, 2, kt::FmtForm::extensible), kNotPcm},
        {"extensible in an 18-byte fmt chunk, too short to hold the subformat",
         kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(format(0xFFFE, 44100, 16, 2), kt::FmtForm::with_cb_size)),
                        data}),
         kNotPcm},
        {"no fmt chunk", kt::riff_wave({data}), kNotPcm},
        {"no data chunk, only a tagger's list after fmt", kt::riff_wave({fmt, info}), kNotPcm},
        {"a chunk that runs past the end of the file before data is found",
         kt::riff_wave({fmt, kt::riff_chunk_stating("LIST", 100000, "INFO"), data}), kNotPcm},
        // Every field where a canonical WAV holds it, but the wrong kind of file.
        {"a RIFF file of another form (AVI)", with_id(8, "AVI "), kNotPcm},
        {"RIFX, the big-endian form", with_id(0, "RIFX"), kNotPcm},
        // Any other count would be read as one or two channels at the wrong speed.
        {"no channels", header(1, 44100, 16, 0), channels_refusal("0")},
        {"three channels", header(1, 44100, 16, 3), channels_refusal("3")},
        {"5.1 surround in an extensible fmt chunk", extensible(1, 16, 6, kt::FmtForm::extensible),
         channels_refusal("6")},
        {"256 channels, whose low byte is 0", header(1, 44100, 16, 256), channels_refusal("256")},
        {"257 channels, whose low byte is mono's", header(1, 44100, 16, 257), channels_refusal("257")},
        {"not PCM is told before the channels", header(3, 44100, 32, 6), kNotPcm},
        {"the channels are told before the rate", header(1, 22050, 16, 3), channels_refusal("3")},
        {"the channels are told before the sample size", header(1, 44100, 24, 6), channels_refusal("6")},
    };
    const std::string kOldBytes = "an earlier run's MP3";
    for (const auto& c : cases) {
        for (bool gui : {false, true}) {
            for (bool output_existed : {false, true}) {
                SCOPED_TRACE(std::string(c.why) + (gui ? " (-GUI)" : "") +
                             (output_existed ? ", output already there" : ""));
                ProgramFolder folder(Engine::real);
                kt::write_file(folder.dir.file("in.wav"), c.input);
                if (output_existed) kt::write_file(folder.dir.file("out.mp3"), kOldBytes);
                std::vector<std::string> args{"in.wav", "out.mp3"};
                if (gui) args.insert(args.begin(), "-GUI");
                RunResult result = kt::run_program(folder.program, args);
                EXPECT_EQ(result.status, kFailure);
                // Without -GUI the banner comes first; with it the message is all there is.
                if (gui) {
                    EXPECT_EQ(result.out, c.message);
                } else {
                    EXPECT_TRUE(ends_with(result.out, c.message + "  Press Enter to Exit...")) << result.out;
                }
                EXPECT_EQ(result.err, "");
                if (output_existed) {
                    EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), kOldBytes);
                } else {
                    EXPECT_FALSE(kt::file_exists(folder.dir.file("out.mp3")));
                }
            }
        }
    }
}

TEST(SettingsEndToEnd, RawInputReadsNoRateAndNoSampleSize) {
    // The same header that is refused without "-r": "-s" and the defaults decide.
    WavFormat format;
    format.sample_rate = 22050;
    format.bits_per_sample = 8;
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file(format, kt::music_samples(4410, 2, 44100)));
    RunResult result = kt::run_program(folder.program, {"-GUI", "-r", "in.wav", "out.mp3"});
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    std::vector<kt::FrameHeader> frames = kt::mp3_frames(kt::read_file(folder.dir.file("out.mp3")));
    ASSERT_GT(frames.size(), 2u);
    EXPECT_EQ(frames[1].sample_rate, 44100);
}

TEST(SettingsEndToEnd, RawStereoStaysStereoWhateverByte22Holds) {
    // Headerless samples: the first 44 bytes are skipped, and a 1 among them says nothing about channels.
    const uint32_t frames = 44100;
    std::string raw = std::string(44, '\0') + kt::music_samples(frames, 2, 44100);
    raw[22] = 1;
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.raw"), raw);
    RunResult result = kt::run_program(folder.program, {"-GUI", "-r", "in.raw", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file("out.mp3"));
    ASSERT_TRUE(audio.ok);
    ASSERT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.samples.size() / 2, (raw.size() - 44) / 4) << "(size - 44) / 4 stereo frames";
}

// The frame headers the real engine writes carry the switches. Every row states the
// whole header of the audio frames, so a switch that sets a wrong bit shows too.
constexpr int kVbr = 0;  // bitrate column: the frames' bitrates vary
constexpr uint32_t kFrames = 44100;  // one second

struct FrameCase {
    const char* why;
    std::vector<std::string> args;
    uint16_t channels;
    const char* output;
    int bitrate_kbps;
    int sample_rate;
    int channel_mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    bool crc, copyright, original, private_bit;
    bool exact_length;  // decodes to exactly the input's sample frames
};

std::string header_text(bool vbr, int kbps, int rate, int mode, bool crc, bool copyright, bool original,
                        bool private_bit) {
    return (vbr ? std::string("VBR") : std::to_string(kbps) + " kbps") + " " + std::to_string(rate) +
           " Hz mode " + std::to_string(mode) + (crc ? " crc" : "") + (copyright ? " copyright" : "") +
           (original ? " original" : "") + (private_bit ? " private" : "");
}

void check_frames(const FrameCase& c) {
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), wav(c.channels, 44100, kFrames));
    RunResult result = kt::run_program(folder.program, c.args);
    ASSERT_EQ(result.status, 0) << result.out << result.err;

    std::string mp3 = kt::read_file(folder.dir.file(c.output));
    std::vector<kt::FrameHeader> frames = kt::mp3_frames(mp3);
    ASSERT_GT(frames.size(), 10u);
    EXPECT_EQ(frames.back().offset + frames.back().length, mp3.size()) << "bytes after the last frame";
    // The first frame holds the LAME tag: "Xing" for VBR, "Info" for CBR.
    bool vbr = c.bitrate_kbps == kVbr;
    std::string tag_frame = mp3.substr(frames[0].offset, frames[0].length);
    EXPECT_NE(tag_frame.find(vbr ? "Xing" : "Info"), std::string::npos);

    const std::string want = header_text(vbr, c.bitrate_kbps, c.sample_rate, c.channel_mode, c.crc, c.copyright,
                                         c.original, c.private_bit);
    std::set<int> bitrates;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const kt::FrameHeader& f = frames[i];
        bitrates.insert(f.bitrate_kbps);
        std::string got = header_text(vbr, f.bitrate_kbps, f.sample_rate, f.channel_mode, f.crc, f.copyright,
                                      f.original, f.private_bit);
        if (got != want) {
            ADD_FAILURE() << "frame " << i << ": " << got << ", want " << want;
            break;
        }
    }
    if (vbr) {
        EXPECT_GT(bitrates.size(), 1u) << "one bitrate throughout is no VBR";
    }

    if (c.exact_length) {
        kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file(c.output));
        ASSERT_TRUE(audio.ok);
        EXPECT_EQ(audio.channels, c.channels);
        EXPECT_EQ(audio.rate, 44100);
        EXPECT_EQ(audio.samples.size(), std::size_t{kFrames} * c.channels);
    }
}

TEST(SettingsEndToEnd, FramesCarryTheSwitches) {
    const FrameCase cases[] = {
        {"no switch", {"in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, false, false, true, false, false},
        {"-b128", {"-b128", "in.wav", "out.mp3"}, 2, "out.mp3", 128, 44100, 1, false, false, true, false, false},
        {"-p: CRC", {"-p", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, true, false, true, false, false},
        {"-c: copyright", {"-c", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, false, true, true, false, false},
        {"-o: not original", {"-o", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, false, false, false, false,
         false},
        {"-PRIVATE: private bit", {"-PRIVATE", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, false, false,
         true, true, false},
        {"-mm on a mono file: single channel at the mono default", {"-mm", "in.wav", "out.mp3"}, 1, "out.mp3", 96,
         44100, 3, false, false, true, false, false},
        {"a mono file as the only argument: single channel, full length, not double speed", {"in.wav"}, 1,
         "in.mp3", 96, 44100, 3, false, false, true, false, true},
        // 128 kbps exists in MPEG-2 too, so only the rate differs from "-b128"
        {"--resample22050", {"-b128", "--resample22050", "in.wav", "out.mp3"}, 2, "out.mp3", 128, 22050, 1, false,
         false, true, false, false},
        {"-V2: VBR frames, exact length", {"-V2", "in.wav", "out.mp3"}, 2, "out.mp3", kVbr, 44100, 1, false, false,
         true, false, true},
        {"-mj: joint stereo", {"-mj", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 1, false, false, true, false,
         false},
        {"-ms: stereo", {"-ms", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 0, false, false, true, false, false},
        {"-md: dual channel", {"-md", "in.wav", "out.mp3"}, 2, "out.mp3", 192, 44100, 2, false, false, true, false,
         false},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.why);
        check_frames(c);
    }
}

}  // namespace
