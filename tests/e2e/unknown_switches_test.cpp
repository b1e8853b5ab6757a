// Command lines that front ends written for LAME's encoder pass: switches the
// program does not know, and their values, name no file and change nothing;
// the switches it knows keep their meaning; the output is named after the last
// part of its path only.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
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

std::string bytes_of(const EngineConfig& config) {
    return std::string(reinterpret_cast<const char*>(&config), sizeof config);
}

// The MP3 files a run left in a folder and its subfolders, by their paths from it.
std::set<std::string> mp3_files(const std::string& folder) {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".mp3") found.insert(fs::relative(entry.path(), folder).string());
    return found;
}

std::string ignoring(const std::vector<std::string>& words) {
    std::string lines;
    for (const std::string& word : words) lines += "  Ignoring unknown switch " + word + "\n";
    return lines;
}

TEST(UnknownSwitches, NameNoFileAndChangeNothing) {
    auto at_128 = [](EngineConfig& c) { c.bitrate = 128; };
    auto unchanged = [](EngineConfig&) {};
    const struct {
        const char* why;
        std::vector<std::string> args;
        void (*expect)(EngineConfig&);
        std::string output;                 // the one MP3 the run leaves
        std::vector<std::string> ignored;   // the words of the lines on standard error, in order
    } cases[] = {
        {"a Node.js wrapper's --quiet before the names", {"--quiet", "-b", "128", "in.wav", "out.mp3"}, at_128, "out.mp3",
         {"--quiet"}},
        {"a ripping script's switches around -q 2 and -V 4",
         {"--nohist", "--pad-id3v2", "-q", "2", "--noreplaygain", "-V", "4", "in.wav", "out.mp3"},
         [](EngineConfig& c) {
             c.bitrate = 32;
             c.max_bitrate = 256;
             c.vbr_flag = 1;
             c.vbr_quality = 4;
         },
         "out.mp3", {"--nohist", "--pad-id3v2", "--noreplaygain"}},
        {"switches after the names, --disptime taking 1", {"in.wav", "out.mp3", "-b", "128", "--disptime", "1"}, at_128,
         "out.mp3", {"--disptime"}},
        {"--preset takes extreme, which is no input name", {"--preset", "extreme", "in.wav", "out.mp3"}, unchanged,
         "out.mp3", {"--preset"}},
        {"--lowpass takes 19", {"--lowpass", "19", "in.wav", "out.mp3"}, unchanged, "out.mp3", {"--lowpass"}},
        {"--scale takes 0.9", {"--scale", "0.9", "in.wav", "out.mp3"}, unchanged, "out.mp3", {"--scale"}},
        {"an unknown value switch takes even a known switch as its value: -mm stays --lowpass's",
         {"--lowpass", "-mm", "in.wav", "out.mp3"}, unchanged, "out.mp3", {"--lowpass"}},
        {"-gui after the input is no output name, nor a second argument: the record of kovex in.wav",
         {"in.wav", "-gui"}, [](EngineConfig& c) { c.vbr_quality = 0; }, "in.mp3", {"-gui"}},
        {"an unknown switch between the names leaves them a pair", {"in.wav", "--quiet", "out.mp3"}, unchanged,
         "out.mp3", {"--quiet"}},
        {"a switch of two characters, and each unknown word once, in order",
         {"-S", "--vbr-new", "--quiet", "-S", "in.wav", "out.mp3", "--quiet"}, unchanged, "out.mp3",
         {"-S", "--vbr-new", "--quiet"}},
        // The single-argument run stores VBR quality 0; the unknown switch must not make it a second argument.
        {"an unknown switch takes no value and is no argument: the record of kovex in.wav", {"--quiet", "in.wav"},
         [](EngineConfig& c) { c.vbr_quality = 0; }, "in.mp3", {"--quiet"}},
        {"-q takes only a word that would name a file: -b128 still counts", {"-q", "-b128", "in.wav", "out.mp3"}, at_128,
         "out.mp3", {}},
        {"--ta takes \"Pop band\", without a line", {"--ta", "Pop band", "in.wav", "out.mp3"}, unchanged, "out.mp3", {}},
        {"a tag's text \"a\" occurs in the switch list and is still the title", {"--tt", "a", "in.wav", "out.mp3"},
         unchanged, "out.mp3", {}},
        {"a tag's text never counts for switches: -b128 is a title", {"--tt", "-b128", "in.wav", "out.mp3"}, unchanged,
         "out.mp3", {}},
        {"a tag's text \"-\" is no standard input", {"--tc", "-", "in.wav", "out.mp3"}, unchanged, "out.mp3", {}},
        {"a tag switch at the end, with nothing to take", {"in.wav", "out.mp3", "--tt"}, unchanged, "out.mp3", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::counting_samples(8820)));
        RunOptions options;
        options.env = {{"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")}};
        RunResult result = kt::run_program(folder.program, c.args, options);
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_EQ(result.err, ignoring(c.ignored));
        EngineConfig expected = kt::default_record();
        c.expect(expected);
        const std::string record = kt::read_file(folder.dir.file("record.bin"));
        EXPECT_TRUE(record == bytes_of(expected)) << kt::record_differences(record, bytes_of(expected));
        EXPECT_EQ(mp3_files(folder.dir.path()), std::set<std::string>{c.output});
    }
}

TEST(UnknownSwitches, FileWhoseNameBeginsWithADashIsGivenWithItsFolder) {
    // -mm.wav alone is an unknown switch; ./-mm.wav is a file, and holds no -mm.
    ProgramFolder folder(Engine::fake);
    kt::write_file(folder.dir.file("-mm.wav"), kt::wav_file({}, kt::counting_samples(8820)));
    RunOptions options;
    options.env = {{"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")}};
    RunResult result = kt::run_program(folder.program, {"-GUI", "./-mm.wav"}, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(kt::read_file(folder.dir.file("record.bin")), kt::default_record_bytes()) << "-mm took effect";
    EXPECT_EQ(mp3_files(folder.dir.path()), std::set<std::string>{"-mm.mp3"});

    RunResult as_a_word = kt::run_program(folder.program, {"-GUI", "-mm.wav"});
    EXPECT_EQ(as_a_word.status, 255);
    EXPECT_EQ(as_a_word.out, "Cannot accept kovex [switches]");
    EXPECT_EQ(as_a_word.err, ignoring({"-mm.wav"}));
}

TEST(UnknownSwitches, RealEngineWritesWhatTheKnownSwitchesAskFor) {
    // The same bytes as LAME's own encoder given only the switches kovex knows.
    const struct {
        std::vector<std::string> args;
        std::string lame_switches;
    } cases[] = {
        {{"--quiet", "-b", "128", "in.wav", "out.mp3"}, "-b 128 -m j"},
        {{"--nohist", "--pad-id3v2", "-q", "2", "--noreplaygain", "-V", "4", "in.wav", "out.mp3"},
         "-V 4 -b 32 -B 256 -m j"},
        {{"in.wav", "out.mp3", "-b", "128", "--disptime", "1"}, "-b 128 -m j"},
        {{"--preset", "extreme", "in.wav", "out.mp3"}, "-b 192 -m j"},
        {{"--lowpass", "19", "--scale", "0.9", "in.wav", "out.mp3"}, "-b 192 -m j"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " ...");
        ProgramFolder folder(Engine::real);
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(66666, 2, 44100)));
        RunResult result = kt::run_program(folder.program, c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        ASSERT_EQ(kt::shell("cd " + folder.dir.path() + " && lame --quiet " + c.lame_switches +
                            " --noreplaygain in.wav peer.mp3"),
                  0);
        EXPECT_TRUE(kt::read_file(folder.dir.file("out.mp3")) == kt::read_file(folder.dir.file("peer.mp3")))
            << "the files differ";
        EXPECT_EQ(mp3_files(folder.dir.path()), (std::set<std::string>{"out.mp3", "peer.mp3"}));
    }
}

TEST(OutputNames, DotsInFolderNamesAreNoExtension) {
    // Before, the dot of "take.2/" counted, and take.mp3 beside the folder was overwritten.
    const struct {
        const char* why;
        std::string input;               // created in the program's folder
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {"a dot three characters from the end, in the folder", "take.2/a", {"-GUI", "take.2/a"}, "take.2/a.mp3"},
        {"a dot four characters from the end, in the folder", "disc.1/ab", {"-GUI", "disc.1/ab"}, "disc.1/ab.mp3"},
        {"a given output in such a folder", "in.wav", {"-GUI", "in.wav", "take.2/b"}, "take.2/b.mp3"},
        {"the file's own extension is still replaced", "take.2/a.wav", {"-GUI", "take.2/a.wav"}, "take.2/a.mp3"},
        {"four characters after the file's dot too", "take.2/a.wave", {"-GUI", "take.2/a.wave"}, "take.2/a.mp3"},
        {"two characters after the file's dot: appended", "take.2/a.01", {"-GUI", "take.2/a.01"}, "take.2/a.01.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        fs::create_directory(folder.dir.file("take.2"));
        fs::create_directory(folder.dir.file("disc.1"));
        kt::write_file(folder.dir.file(c.input), kt::wav_file({}, kt::counting_samples(4410)));
        kt::write_file(folder.dir.file("take.mp3"), "an earlier run's MP3");
        RunResult result = kt::run_program(folder.program, c.args);
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_NE(result.out.find(" to " + c.output + "\n"), std::string::npos) << result.out;
        EXPECT_EQ(mp3_files(folder.dir.path()), (std::set<std::string>{"take.mp3", c.output}));
        EXPECT_EQ(kt::read_file(folder.dir.file("take.mp3")), "an earlier run's MP3");
    }
}

}  // namespace
