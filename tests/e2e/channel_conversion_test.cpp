// The mode says what the MP3 holds, the file's channel count how its samples
// are read, so no mode changes the speed: a stereo file made mono is mixed
// down, a mono file made stereo is sent to both channels, and raw input, which
// has no channel count of its own, is read as the mode says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine_interface/engine_api.h"
#include "support/test_support.h"

namespace {

using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;

// Not a whole number of MP3 frames, so the flush and the padding matter.
constexpr uint32_t kFrames = 66666;

std::vector<int16_t> values_of(const std::string& bytes) {
    std::vector<int16_t> values(bytes.size() / 2);
    std::memcpy(values.data(), bytes.data(), values.size() * 2);
    return values;
}

std::string bytes_of(const std::vector<int16_t>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * 2);
}

// How far `got` is from `want`, in dB of `want`'s power over the difference's.
double snr_db(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < got.size() && i < want.size(); ++i) {
        double difference = static_cast<double>(got[i]) - want[i];
        signal += static_cast<double>(want[i]) * want[i];
        noise += difference * difference;
    }
    return noise == 0 ? 1000.0 : 10.0 * std::log10(signal / noise);
}

struct FakeRun {
    RunResult result;
    std::string record;
    std::vector<int16_t> received;  // every value handed to the engine, in order
};

FakeRun run_fake(const std::string& input_name, const std::string& input, const std::vector<std::string>& args) {
    ProgramFolder folder(Engine::fake);
    kt::write_file(folder.dir.file(input_name), input);
    RunOptions options;
    options.env = {{"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")},
                   {"FAKE_ENGINE_SAMPLES", folder.dir.file("samples.bin")}};
    FakeRun run;
    run.result = kt::run_program(folder.program, args, options);
    run.record = kt::read_file(folder.dir.file("record.bin"));
    run.received = values_of(kt::read_file(folder.dir.file("samples.bin")));
    return run;
}

std::string record_with(int32_t mode, uint32_t bitrate) {
    EngineConfig config = kt::default_record();
    config.mode = mode;
    config.bitrate = bitrate;
    return std::string(reinterpret_cast<const char*>(&config), sizeof config);
}

TEST(ChannelConversion, StereoFileUnderMonoReachesTheEngineAsTheRoundedMean) {
    const std::string stereo = kt::music_samples(kFrames, 2, 44100);
    FakeRun run = run_fake("in.wav", kt::wav_file(kt::pcm_format(2), stereo), {"-mm", "in.wav", "out.mp3"});
    ASSERT_EQ(run.result.status, 0) << run.result.out << run.result.err;
    EXPECT_TRUE(run.record == record_with(kEngineModeMono, 96))
        << "a mono stream at the mono default:" << kt::record_differences(run.record, record_with(kEngineModeMono, 96));

    const std::vector<int16_t> input = values_of(stereo);
    ASSERT_EQ(run.received.size(), kFrames) << "one value per frame, not the pairs read as single values";
    for (uint32_t i = 0; i < kFrames; ++i) {
        // Within half a step of the mean; which way a half goes is the rounding's choice.
        int twice_the_mean = input[2 * i] + input[2 * i + 1];
        if (std::abs(2 * run.received[i] - twice_the_mean) > 1) {
            ADD_FAILURE() << "frame " << i << ": " << run.received[i] << " for " << input[2 * i] << " and "
                          << input[2 * i + 1];
            break;
        }
    }
}

TEST(ChannelConversion, StereoFileUnderMonoSoundsLikeTheLameEncodersMono) {
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file(kt::pcm_format(2), kt::music_samples(kFrames, 2, 44100)));
    RunResult result = kt::run_program(folder.program, {"-mm", "in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    ASSERT_EQ(kt::shell("cd " + folder.dir.path() + " && lame --quiet -m m -b 96 --noreplaygain in.wav peer.mp3"), 0);

    kt::DecodedAudio ours = kt::decode_mp3(folder.dir.file("out.mp3"));
    kt::DecodedAudio peer = kt::decode_mp3(folder.dir.file("peer.mp3"));
    ASSERT_TRUE(ours.ok && peer.ok);
    ASSERT_EQ(ours.channels, 1);
    EXPECT_EQ(ours.samples.size(), kFrames) << "exactly the input's frames: no change of speed";
    // LAME mixes down unrounded, and a change of half a step steers its encoder to
    // other choices. Measured on this sound (three lengths), LAME's mono encoding of
    // the mean under any of four roundings decodes 34 to 39 dB from LAME's own
    // mixdown; of the left channel alone, 0 dB.
    EXPECT_GE(snr_db(ours.samples, peer.samples), 30.0);
}

struct TwoChannelMode {
    const char* mode_switch;
    int32_t engine_mode;
    const char* lame_mode;
};

void check_mono_under(const TwoChannelMode& mode, const std::vector<int16_t>& mono) {
    std::vector<int16_t> doubled;
    for (int16_t value : mono) doubled.insert(doubled.end(), {value, value});
    FakeRun run = run_fake("in.wav", kt::wav_file(kt::pcm_format(1), bytes_of(mono)), {mode.mode_switch, "in.wav", "out.mp3"});
    ASSERT_EQ(run.result.status, 0) << run.result.out << run.result.err;
    EXPECT_TRUE(run.record == record_with(mode.engine_mode, 192))
        << kt::record_differences(run.record, record_with(mode.engine_mode, 192));
    EXPECT_TRUE(run.received == doubled) << "each sample to both channels";

    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file(kt::pcm_format(1), bytes_of(mono)));
    RunResult result = kt::run_program(folder.program, {mode.mode_switch, "in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file("out.mp3"));
    ASSERT_TRUE(audio.ok);
    ASSERT_EQ(audio.channels, 2);
    ASSERT_EQ(audio.samples.size(), 2 * mono.size()) << "exactly the input's frames: no change of speed";
    std::vector<int16_t> left;
    std::vector<int16_t> right;
    for (std::size_t i = 0; i < audio.samples.size(); i += 2) {
        left.push_back(audio.samples[i]);
        right.push_back(audio.samples[i + 1]);
    }
    // Two equal channels encode to two equal channels (no difference measured in
    // any of the three modes); a channel left silent or shifted would be near 0 dB.
    EXPECT_GE(snr_db(right, left), 40.0) << "the two channels differ";
    // The encoding itself stays 28 to 29 dB from the input at 192 kbps.
    EXPECT_GE(snr_db(left, mono), 20.0) << "far from the mono input";

    // The engine received a stereo file of equal channels: LAME's bytes for that file.
    kt::write_file(folder.dir.file("doubled.wav"), kt::wav_file(kt::pcm_format(2), bytes_of(doubled)));
    ASSERT_EQ(kt::shell("cd " + folder.dir.path() + " && lame --quiet -m " + mode.lame_mode +
                        " -b 192 --noreplaygain doubled.wav peer.mp3"),
              0);
    EXPECT_TRUE(kt::read_file(folder.dir.file("out.mp3")) == kt::read_file(folder.dir.file("peer.mp3")))
        << "not the LAME encoder's bytes for the doubled file";
}

TEST(ChannelConversion, MonoFileUnderTwoChannelModesFillsBothChannels) {
    const TwoChannelMode modes[] = {
        {"-ms", kEngineModeStereo, "s"},
        {"-mj", kEngineModeJointStereo, "j"},
        {"-md", kEngineModeDualChannel, "d"},
    };
    const std::vector<int16_t> mono = values_of(kt::music_samples(kFrames, 1, 44100));
    for (const TwoChannelMode& mode : modes) {
        SCOPED_TRACE(mode.mode_switch);
        check_mono_under(mode, mono);
    }
}

TEST(ChannelConversion, RawInputIsReadAsTheModeSays) {
    // Headerless samples have no channel count: the mode's count reads them, unchanged.
    const std::string samples = kt::music_samples(4410, 2, 44100);
    const std::string raw = std::string(44, '\0') + samples;
    struct Case {
        std::vector<std::string> args;
        std::string record;
        const char* why;
    } cases[] = {
        {{"-r", "in.raw", "out.mp3"}, record_with(kEngineModeJointStereo, 192), "stereo by default"},
        {{"-r", "-mm", "in.raw", "out.mp3"}, record_with(kEngineModeMono, 96), "-mm: read as mono, no mixdown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        FakeRun run = run_fake("in.raw", raw, c.args);
        ASSERT_EQ(run.result.status, 0) << run.result.out << run.result.err;
        EXPECT_TRUE(run.record == c.record) << kt::record_differences(run.record, c.record);
        EXPECT_TRUE(run.received == values_of(samples)) << "the values from byte 44 on, as they stand";
    }
}

}  // namespace
