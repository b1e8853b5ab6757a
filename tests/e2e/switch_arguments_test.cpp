// Switches come from the switch arguments alone, joined in their order: the
// program's path, the file names and any other word count for nothing, so a name
// that holds a switch's spelling changes nothing, and a switch text that does
// not fit is refused rather than cut short.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine_interface/engine_api.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;

constexpr int kFailure = 255;  // -1 as the system reports it

std::string wav(uint32_t rate, uint16_t tag = 1, uint16_t bits = 16, uint16_t channels = 2) {
    kt::WavFormat format;
    format.format_tag = tag;
    format.sample_rate = rate;
    format.bits_per_sample = bits;
    format.channels = channels;
    return kt::wav_file(format, kt::music_samples(4410, 2, 44100));
}

std::string bytes_of(const EngineConfig& config) {
    return std::string(reinterpret_cast<const char*>(&config), sizeof config);
}

EngineConfig at_rate(uint32_t rate) {
    EngineConfig config = kt::default_record();
    config.input_rate = rate;
    config.output_rate = rate;
    return config;
}

struct NameCase {
    const char* why;
    std::string input_name;
    uint32_t rate;
    std::vector<std::string> args;
    std::string output_name;
    std::string program_folder;  // a subfolder of the scratch folder for the program, or "" for the scratch folder
    EngineConfig expected;
};

void check_names_take_no_part(const NameCase& c) {
    kt::ScratchDir scratch;
    std::string folder = scratch.path();
    if (!c.program_folder.empty()) {
        folder = scratch.file(c.program_folder);
        fs::create_directory(folder);
    }
    const std::string program = folder + "/kovex";
    fs::copy_file(KOVEX_PROGRAM, program);
    fs::copy_file(KOVEX_FAKE_ENGINE, folder + "/lame_enc.dll");
    kt::write_file(folder + "/" + c.input_name, wav(c.rate));
    RunOptions options;
    options.env = {{"FAKE_ENGINE_RECORD", folder + "/record.bin"}};
    RunResult result = kt::run_program(program, c.args, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string record = kt::read_file(folder + "/record.bin");
    EXPECT_TRUE(record == bytes_of(c.expected))
        << "not a plain name's record:" << kt::record_differences(record, bytes_of(c.expected));
    EXPECT_TRUE(kt::file_exists(folder + "/" + c.output_name)) << c.output_name;
}

TEST(SwitchArguments, NamesAndOtherWordsHoldNoSwitches) {
    EngineConfig at_128 = kt::default_record();
    at_128.bitrate = 128;
    // What kovex in.wav alone stores: VBR quality 0.
    EngineConfig single_argument_record = kt::default_record();
    single_argument_record.vbr_quality = 0;
    const NameCase cases[] = {
        {"'-r' in the input's name would make it raw input, declared 44100", "live-rec.wav", 48000,
         {"live-rec.wav", "out.mp3"}, "out.mp3", "", at_rate(48000)},
        {"'-r' again, beside a resample rate's digits", "party-remix48.wav", 48000,
         {"party-remix48.wav", "out.mp3"}, "out.mp3", "", at_rate(48000)},
        {"'-mm' in the input's name would make a stereo file mono", "mix-mm.wav", 44100, {"mix-mm.wav", "out.mp3"},
         "out.mp3", "", kt::default_record()},
        {"'-p', '-c' and '-o' in the program's folder would ask for CRC, copyright and a copy", "in.wav", 44100,
         {"in.wav", "out.mp3"}, "out.mp3", "my-progs-p-c-o", kt::default_record()},
        {"-private is an unknown switch, which neither protects nor marks the file nor names it", "in.wav", 44100,
         {"in.wav", "-private"}, "in.mp3", "", single_argument_record},
        {"a third word that is no switch argument", "in.wav", 44100, {"in.wav", "out.mp3", "notes-mm"}, "out.mp3", "",
         kt::default_record()},
        {"-b and 128 after the file names still count, joined", "in.wav", 44100, {"in.wav", "out.mp3", "-b", "128"},
         "out.mp3", "", at_128},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.why);
        check_names_take_no_part(c);
    }
}

TEST(SwitchArguments, AResampleSwitchIsNoRawInput) {
    // Every resample spelling holds "-r"; the header is read, and judged, all the same.
    const std::string not_pcm = "  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n";
    struct Case {
        const char* why;
        std::vector<std::string> switches;
        std::string input;
        int status;
        std::string out;
    } cases[] = {
        {"floating-point samples are refused", {"--resample22050"}, wav(44100, 3, 32), kFailure, not_pcm},
        {"a rate of no detected kind is refused", {"--resample", "22050"}, wav(22050), kFailure,
         "  Input sample rate of 22050 Hz is not supported (32000/44100/48000 only).\n"},
        {"8-bit samples are refused", {"--resample22050"}, wav(44100, 1, 8), kFailure,
         "  Input file is not 16-bit PCM (8 bits per sample).\n"},
        {"six channels are refused", {"--resample22050"}, wav(44100, 1, 16, 6), kFailure,
         "  Input file has 6 channels; only 1 or 2 are supported.\n"},
        {"-r beside a resample still asks for raw input", {"-r", "--resample22050"}, wav(44100, 3, 32), 0, "*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), c.input);
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"-GUI", "in.wav", "out.mp3"});
        RunResult result = kt::run_program(folder.program, args);
        EXPECT_EQ(result.status, c.status) << result.out << result.err;
        if (c.out != "*") {
            EXPECT_EQ(result.out, c.out);
        }
    }
}

std::size_t joined_length(const std::vector<std::string>& args) {
    std::size_t length = 0;
    for (const std::string& arg : args) length += arg.size();
    return length;
}

// "-GUI", 57 times "-b128" and "-PRIVATE": 297 characters; two more fit, three do not.
std::vector<std::string> long_switches(const std::string& last) {
    std::vector<std::string> args{"-GUI"};
    args.insert(args.end(), 57, "-b128");
    args.insert(args.end(), {"-PRIVATE", last});
    return args;
}

TEST(SwitchArguments, SwitchTextOf299CharactersFitsWhateverThePathsLength) {
    // The program's own path no longer takes room: "-c" at the end still counts.
    std::vector<std::string> args = long_switches("-c");
    ASSERT_EQ(joined_length(args), 299u);
    args.insert(args.end(), {"in.wav", "out.mp3"});
    ProgramFolder folder(Engine::fake);
    kt::write_file(folder.dir.file("in.wav"), wav(44100));
    RunOptions options;
    options.env = {{"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")}};
    RunResult result = kt::run_program(folder.program, args, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EngineConfig expected = kt::default_record();
    expected.bitrate = 128;
    expected.private_flag = 1;
    expected.copyright_flag = 1;
    const std::string record = kt::read_file(folder.dir.file("record.bin"));
    EXPECT_TRUE(record == bytes_of(expected)) << kt::record_differences(record, bytes_of(expected));
}

TEST(SwitchArguments, SwitchTextBeyond299CharactersIsRefusedBeforeAnythingIsTouched) {
    std::vector<std::string> args = long_switches("-V2");
    ASSERT_EQ(joined_length(args), 300u);
    args.insert(args.end(), {"in.wav", "out.mp3"});
    for (bool output_existed : {false, true}) {
        SCOPED_TRACE(output_existed ? "output already there" : "no output yet");
        // No engine: the refusal comes before it is looked for.
        ProgramFolder folder(Engine::none);
        const std::string input = wav(44100);
        kt::write_file(folder.dir.file("in.wav"), input);
        if (output_existed) kt::write_file(folder.dir.file("out.mp3"), "an earlier run's MP3");
        RunResult result = kt::run_program(folder.program, args);
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.out, "Cannot accept kovex [switches]");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(kt::read_file(folder.dir.file("in.wav")), input);
        if (output_existed) {
            EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), "an earlier run's MP3");
        } else {
            EXPECT_FALSE(kt::file_exists(folder.dir.file("out.mp3")));
        }
    }
}

}  // namespace
