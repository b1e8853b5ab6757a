// Bad input end to end: each case gets its clear message on its stream, and
// nothing is lost: the input is unchanged and no other file is touched; a
// refused input leaves no output file behind and an existing one as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using kt::Engine;
using kt::ProgramFolder;
using kt::RunResult;
using kt::WavFormat;

constexpr int kFailure = 255;
const std::string kNotPcm = "  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n";

// What a folder holds: every file's contents by name (the program itself excluded).
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string name = entry.path().string().substr(folder.size() + 1);
        if (name == "kovex" || name == "lame_enc.dll") continue;
        contents[name] = entry.is_regular_file() ? kt::read_file(entry.path().string()) : "<folder>";
    }
    return contents;
}

std::string samples(uint32_t frames, uint16_t channels = 2) { return kt::music_samples(frames, channels, 44100); }

WavFormat format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    return kt::wav_format(tag, channels, rate, bits);
}

TEST(BadInput, IsRefusedClearlyAndLosesNothing) {
    const std::string long_stem(250, 'n');  // with ".wav": 254 characters, the most a name may hold
    struct Case {
        const char* name;
        std::function<void(const std::string& folder)> make;  // makes the input in the folder
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
        const char* output;       // the output file left behind, or nullptr for none
        bool output_empty = true;
        bool unprivileged = false;
    } cases[] = {
        {"empty file", [](const std::string& d) { kt::write_file(d + "/in.wav", ""); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"ten bytes", [](const std::string& d) { kt::write_file(d + "/in.wav", "RIFF\x10\0\0\0WA"); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"float samples", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file(format(3, 2, 44100, 32), samples(100))); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"extensible format", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file(format(0xFFFE, 2, 44100, 16), samples(100))); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"24-bit samples", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file(format(1, 2, 44100, 24), samples(100))); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, "  Input file is not 16-bit PCM (24 bits per sample).\n", "", nullptr},
        {"8-bit samples", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file(format(1, 1, 44100, 8), samples(100))); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, "  Input file is not 16-bit PCM (8 bits per sample).\n", "", nullptr},
        {"22050 Hz", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file(format(1, 2, 22050, 16), samples(100))); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure,
         "  Input sample rate of 22050 Hz is not supported (32000/44100/48000 only).\n", "", nullptr},
        {"a folder as input", [](const std::string& d) { fs::create_directory(d + "/in.wav"); },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"an existing output file survives a refused input", [](const std::string& d) {
             kt::write_file(d + "/in.wav", kt::wav_file(format(3, 2, 44100, 32), samples(100)));
             kt::write_file(d + "/out.mp3", "an earlier run's MP3");
         },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, kNotPcm, "", nullptr},
        {"input not readable", [](const std::string& d) {
             kt::write_file(d + "/in.wav", kt::wav_file({}, samples(100)));
             chmod((d + "/in.wav").c_str(), 0);
             chmod(d.c_str(), 0777);  // the user may create files here, but not read the input
         },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, "", " Could not find in.wav", nullptr, true, true},
        {"output folder missing", [](const std::string& d) { kt::write_file(d + "/in.wav", kt::wav_file({}, samples(100))); },
         {"-GUI", "in.wav", "nowhere/out.mp3"}, kFailure, "", " Error creating file nowhere/out.mp3", nullptr},
        {"output links to the input", [](const std::string& d) {
             kt::write_file(d + "/in.wav", kt::wav_file({}, samples(100)));
             symlink("in.wav", (d + "/out.mp3").c_str());
         },
         {"-GUI", "in.wav", "out.mp3"}, kFailure, "", " Output file would overwrite the input file out.mp3", nullptr},
        {"a name holding conversions", [](const std::string&) {},
         {"-GUI", "%s%n.wav", "out.mp3"}, kFailure, "", " Could not find %s%n.wav", nullptr},
        {"a name of 255 characters", [](const std::string&) {},
         {"-GUI", std::string(251, 'n') + ".wav"}, kFailure, "Cannot accept kovex [file name too long]", "", nullptr},
        {"samples missing after the header", [](const std::string& d) {
             // The header promises a minute; the file ends after a fraction of a second.
             std::string file = kt::wav_file({}, samples(44100 * 60));
             kt::write_file(d + "/in.wav", file.substr(0, 44 + 40000));
         },
         {"-GUI", "in.wav", "out.mp3"}, 0, "*", "", "out.mp3", false},
        {"a name of 254 characters", [long_stem](const std::string& d) {
             kt::write_file(d + "/" + long_stem + ".wav", kt::wav_file({}, samples(4410)));
         },
         {"-GUI", long_stem + ".wav"}, 0, "*", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder folder(Engine::real);
        c.make(folder.dir.path());
        auto before = snapshot(folder.dir.path());
        kt::RunOptions options;
        options.as_unprivileged_user = c.unprivileged;
        if (c.unprivileged) chmod(folder.dir.path().c_str(), 0777);
        RunResult result = kt::run_program(folder.program, c.args, options);
        EXPECT_EQ(result.status, c.status);
        if (c.out != "*") {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(result.err, c.err);

        auto after = snapshot(folder.dir.path());
        if (c.output != nullptr) {
            ASSERT_EQ(after.count(c.output), 1u);
            EXPECT_EQ(after[c.output].empty(), c.output_empty);
            if (before.count(c.output) == 0) after.erase(c.output);
        }
        if (c.status == 0 && c.output == nullptr) {
            // A completed run adds exactly its MP3 beside the input.
            std::string mp3 = c.args.back().substr(0, c.args.back().size() - 4) + ".mp3";
            ASSERT_EQ(after.count(mp3), 1u);
            EXPECT_FALSE(kt::mp3_frames(after[mp3]).empty());
            after.erase(mp3);
        }
        EXPECT_EQ(after, before);  // the input unchanged, nothing else touched
    }
}

}  // namespace
