// The run sequence end to end, with the fake engine: what reaches the engine,
// in which order, and every early exit with its message, stream, status and
// what it leaves on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using kt::counting_samples;
using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;

constexpr int kFailure = 255;  // -1 as the system reports it

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct FakeRun {
    ProgramFolder folder{Engine::fake};
    std::string log() const { return kt::read_file(folder.dir.file("engine.log")); }
    std::string record() const { return kt::read_file(folder.dir.file("record.bin")); }
    unsigned long address_space_limit = 0;
    RunResult run(const std::vector<std::string>& args,
                  std::vector<std::pair<std::string, std::string>> env = {}) {
        env.emplace_back("FAKE_ENGINE_LOG", folder.dir.file("engine.log"));
        env.emplace_back("FAKE_ENGINE_RECORD", folder.dir.file("record.bin"));
        RunOptions options;
        options.env = env;
        options.address_space_limit = address_space_limit;
        return kt::run_program(folder.program, args, options);
    }
};

TEST(RunSequence, HandsTheEngineTheDefaultRecord) {
    FakeRun fake;
    kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(100)));
    ASSERT_EQ(fake.run({"in.wav", "out.mp3"}).status, 0);
    EXPECT_EQ(fake.record(), kt::default_record_bytes());
}

TEST(RunSequence, SingleArgumentStoresVbrQualityZero) {
    FakeRun fake;
    kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(100)));
    ASSERT_EQ(fake.run({"in.wav"}).status, 0);
    std::string expected = kt::default_record_bytes();
    expected[72] = 0;  // the single-argument reset stores quality 0, not the default 4
    EXPECT_EQ(fake.record(), expected);
    EXPECT_TRUE(kt::file_exists(fake.folder.dir.file("in.mp3")));
}

TEST(RunSequence, StreamsSamplesFromByte44InChunksAndFinishesTheFile) {
    // 2304 values per chunk: 5000 values are two full chunks and a short one of 392;
    // the odd last byte belongs to no value and is dropped.
    FakeRun fake;
    std::string data = counting_samples(5000) + std::string(1, '\x55');
    kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, data));
    RunResult result = fake.run({"in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");

    std::string out_path = fake.folder.dir.file("out.mp3");
    const std::vector<std::string> expected_calls = {
        "beVersion",
        "beInitStream",
        "beEncodeChunk handle=24301 count=2304 first=0 last=2303",
        "beEncodeChunk handle=24301 count=2304 first=2304 last=4607",
        "beEncodeChunk handle=24301 count=392 first=4608 last=4999",
        "beDeinitStream handle=24301",
        "beCloseStream handle=24301",
        // three chunks of 16 bytes and 8 flushed bytes, all on disk before the header call
        "beWriteVBRHeader name=out.mp3 size=56",
    };
    EXPECT_EQ(lines_of(fake.log()), expected_calls);
    EXPECT_EQ(kt::read_file(out_path), std::string(16, '\1') + std::string(16, '\2') + std::string(16, '\3') +
                                           std::string(8, 'F'));
}

TEST(RunSequence, HeaderOnlyInputStillCompletes) {
    FakeRun fake;
    kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, ""));
    RunResult result = fake.run({"-GUI", "in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0);
    EXPECT_EQ(lines_of(fake.log()),
              (std::vector<std::string>{"beVersion", "beInitStream", "beDeinitStream handle=24301",
                                        "beCloseStream handle=24301", "beWriteVBRHeader name=out.mp3 size=8"}));
}

TEST(RunSequence, GuiClosingLinesComeOnlyAfterTheFileIsComplete) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> env;
        bool completes;
        const char* why;
    } cases[] = {
        {{}, true, "the completed path prints the three lines"},
        {{{"FAKE_ENGINE_DEINIT_ERROR", "9"}}, false, "a failed flush is no complete file"},
    };
    for (const Case& c : cases) {
        FakeRun fake;
        kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(10)));
        RunResult result = fake.run({"-GUI", "in.wav", "out.mp3"}, c.env);
        const std::string closing = "\naverage: 192.0 kbps   LR: 303 (100.0%)\n\nWriting LAME Tag...done\n";
        bool ends_with_closing = result.out.size() >= closing.size() &&
                                 result.out.compare(result.out.size() - closing.size(), closing.size(), closing) == 0;
        EXPECT_EQ(ends_with_closing, c.completes) << c.why;
        EXPECT_EQ(result.out.find("Writing LAME Tag") != std::string::npos, c.completes) << c.why;
        EXPECT_EQ(result.status, c.completes ? 0 : kFailure) << c.why;
    }
}

// A sanitized build's allocator says so on standard error when it refuses a buffer.
std::string without_allocator_warnings(const std::string& err) {
#ifdef KOVEX_SANITIZED
    std::string kept;
    for (const std::string& line : lines_of(err)) {
        if (line.find("AddressSanitizer failed to allocate") == std::string::npos) kept += line + "\n";
    }
    if (!err.empty() && err.back() != '\n' && !kept.empty()) kept.pop_back();
    return kept;
#else
    return err;
#endif
}

// Every early exit: the message, where it goes, the status and what is left on disk.
TEST(RunSequence, EarlyExitsReportOnceAndLeaveWhatWasWritten) {
    constexpr int kNoFile = -1;
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        std::string out;  // expected standard output ("*" = not checked)
        std::string err;
        int chunks_on_disk;  // the 16-byte chunks the output holds, or kNoFile
        bool stream_closed;  // a failed chunk or flush closes the stream before its message
    } cases[] = {
        {"one switch", {"-GUI"}, {}, "Cannot accept kovex [switch]", "", kNoFile, false},
        {"switches only", {"-b", "128"}, {}, "Cannot accept kovex [switches]", "", kNoFile, false},
        {"missing input", {"-GUI", "missing.wav", "out.mp3"}, {}, "", " Could not find missing.wav", kNoFile, false},
        {"output folder missing", {"-GUI", "in.wav", "nowhere/out.wav"}, {}, "",
         " Error creating file nowhere/out.mp3", kNoFile, false},
        {"open stream fails", {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_INIT_ERROR", "4"}}, "*",
         "  Error opening encoding stream (4)", 0, false},
        {"buffer too large", {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_BUFFER_SIZE", "4294967295"}}, "*",
         "", 0, false},
        {"first chunk fails", {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_CHUNK_ERROR_AT", "1"}}, "*",
         "beEncodeChunk() failed (7)", 0, true},
        {"middle chunk fails", {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_CHUNK_ERROR_AT", "2"}}, "*",
         "beEncodeChunk() failed (7)", 1, true},
        {"last chunk fails", {"-GUI", "in.wav", "out.mp3"},
         {{"FAKE_ENGINE_CHUNK_ERROR_AT", "3"}, {"FAKE_ENGINE_CHUNK_ERROR", "4294967295"}}, "*",
         "beEncodeChunk() failed (4294967295)", 2, true},
        {"flush fails", {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_DEINIT_ERROR", "3000000000"}}, "*",
         "  Exit Stream failed (3000000000)", 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRun fake;
        std::vector<std::pair<std::string, std::string>> env = c.env;
#ifdef KOVEX_SANITIZED
        // The sanitizers' allocator refuses the 4 GiB buffer instead of an address-space limit.
        env.emplace_back("ASAN_OPTIONS", "halt_on_error=1:detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=1024");
#else
        // Room for the program, not for a 4 GiB buffer.
        fake.address_space_limit = 1ul << 30;
#endif
        // 5000 values: chunks of 2304, 2304 and 392.
        kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(5000)));
        RunResult result = fake.run(c.args, env);
        EXPECT_EQ(result.status, kFailure);
        if (c.out != "*") {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(without_allocator_warnings(result.err), c.err);
        std::string output_path = fake.folder.dir.file("out.mp3");
        if (c.chunks_on_disk == kNoFile) {
            EXPECT_FALSE(kt::file_exists(output_path));
        } else {
            std::string expected;
            for (int chunk = 1; chunk <= c.chunks_on_disk; ++chunk) expected += std::string(16, static_cast<char>(chunk));
            EXPECT_EQ(kt::read_file(output_path), expected);
        }
        if (std::string(c.name) == "buffer too large") {
            EXPECT_NE(result.out.find("  Out of memory"), std::string::npos);
        }
        EXPECT_EQ(fake.log().find("beWriteVBRHeader"), std::string::npos);
        EXPECT_EQ(fake.log().find("beCloseStream") != std::string::npos, c.stream_closed);
    }
}

TEST(RunSequence, ChunksWithoutBytesWriteNothingAndComplete) {
    FakeRun fake;
    kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(5000)));
    RunResult result = fake.run({"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_ZERO_BYTES", "1"}});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(kt::read_file(fake.folder.dir.file("out.mp3")), "");
    EXPECT_NE(fake.log().find("beWriteVBRHeader name=out.mp3 size=0"), std::string::npos);
}

TEST(RunSequence, EngineThatCannotBeBound) {
    struct Case {
        const char* name;
        std::string engine;  // "" for none
        std::string out;
        std::string err;
    } cases[] = {
        {"no engine", "", "", "KOVA MP3 Encoder could not find the lame_enc.dll file."},
        {"an entry point missing", KOVEX_INCOMPLETE_ENGINE,
         "LAME MP3 Engine appears to be incompatible with this interface.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramFolder folder(Engine::none);
        if (!c.engine.empty()) std::filesystem::copy_file(c.engine, folder.dir.file("lame_enc.dll"));
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(10)));
        RunResult result = kt::run_program(folder.program, {"in.wav", "out.mp3"});
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_FALSE(kt::file_exists(folder.dir.file("out.mp3")));
    }
}

TEST(RunSequence, EngineInTheCurrentDirectoryIsNeverLoaded) {
    // The system's search takes an empty entry of the library path, or ".", for the current directory.
    struct Case {
        const char* library_path;  // nullptr: not set
        const char* why;
    } cases[] = {
        {nullptr, "no library path"},
        {".", "the current directory by name"},
        {":", "two empty entries"},
        {"/nonexistent::/alsonot", "an empty entry between two others"},
        {"./", "the current directory as a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::none);
        kt::ScratchDir elsewhere;
        std::filesystem::copy_file(KOVEX_FAKE_ENGINE, elsewhere.file("lame_enc.dll"));
        kt::write_file(elsewhere.file("in.wav"), kt::wav_file({}, counting_samples(10)));
        RunOptions options;
        options.cwd = elsewhere.path();
        if (c.library_path != nullptr) options.env = {{"LD_LIBRARY_PATH", c.library_path}};
        RunResult result = kt::run_program(folder.program, {"in.wav", "out.mp3"}, options);
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, "KOVA MP3 Encoder could not find the lame_enc.dll file.");
        EXPECT_FALSE(kt::file_exists(elsewhere.file("out.mp3")));
    }
}

TEST(RunSequence, EngineFoundInTheInstalledLayout) {
    kt::ScratchDir prefix;
    std::filesystem::create_directories(prefix.file("bin"));
    std::filesystem::create_directories(prefix.file("lib/kovex"));
    std::filesystem::copy_file(KOVEX_PROGRAM, prefix.file("bin/kovex"));
    std::filesystem::copy_file(KOVEX_FAKE_ENGINE, prefix.file("lib/kovex/lame_enc.dll"));
    kt::write_file(prefix.file("in.wav"), kt::wav_file({}, counting_samples(10)));
    RunOptions options;
    options.cwd = prefix.path();
    RunResult result = kt::run_program(prefix.file("bin/kovex"), {"-GUI", "in.wav", "out.mp3"}, options);
    EXPECT_EQ(result.status, 0) << result.err;
}

TEST(RunSequence, OutputThatIsTheInputIsRefused) {
    // An input named .mp3 keeps its name as output; a link is a second name for the same file.
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* link;
        std::string err;
    } cases[] = {
        {"same name", {"-GUI", "song.mp3"}, nullptr, " Output file would overwrite the input file song.mp3"},
        {"link to the input", {"-GUI", "song.mp3", "alias.mp3"}, "alias.mp3",
         " Output file would overwrite the input file alias.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRun fake;
        std::string input = kt::wav_file({}, counting_samples(3000));
        kt::write_file(fake.folder.dir.file("song.mp3"), input);
        if (c.link != nullptr) {
            ASSERT_EQ(symlink("song.mp3", fake.folder.dir.file(c.link).c_str()), 0);
        }
        RunResult result = fake.run(c.args);
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(kt::read_file(fake.folder.dir.file("song.mp3")), input);
    }
}

TEST(RunSequence, WriteFailuresAreNotReportedAsSuccess) {
    // The output is a link to a full device. A short run fits the stream's buffer, so
    // the failure shows only when the file is closed; a long one fails on a chunk.
    struct Case {
        const char* name;
        uint32_t samples;
        std::string err;
    } cases[] = {
        {"fails at close", 3000, "  Output file write error"},
        {"fails on a chunk", 2304 * 600, "  There was a write error, check diskspace."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRun fake;
        kt::write_file(fake.folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(c.samples)));
        ASSERT_EQ(symlink("/dev/full", fake.folder.dir.file("out.mp3").c_str()), 0);
        RunResult result = fake.run({"-GUI", "in.wav", "out.mp3"});
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out.find("Writing LAME Tag"), std::string::npos);
        EXPECT_EQ(fake.log().find("beWriteVBRHeader"), std::string::npos);
    }
}

TEST(RunSequence, InputReadErrorIsNotTakenForItsEnd) {
    FakeRun fake;
    std::filesystem::create_directory(fake.folder.dir.file("folder.wav"));
    RunResult result = fake.run({"-GUI", "-r", "folder.wav", "out.mp3"});
    EXPECT_EQ(result.status, kFailure);
    EXPECT_EQ(result.err, "  Input file read error");
    EXPECT_EQ(fake.log().find("beWriteVBRHeader"), std::string::npos);
}

TEST(RunSequence, NamesTooLongAreRefusedBeforeTheEngineLoads) {
    ProgramFolder folder(Engine::none);
    RunResult result = kt::run_program(folder.program, {std::string(251, 'a') + ".wav"});
    EXPECT_EQ(result.status, kFailure);
    EXPECT_EQ(result.out, "Cannot accept kovex [file name too long]");
    EXPECT_EQ(result.err, "");
}

TEST(RunSequence, NoArgumentsShowHelpWithoutTheEngine) {
    ProgramFolder folder(Engine::none);
    RunResult result = kt::run_program(folder.program, {});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
}

}  // namespace

namespace {

// Only the engine carries the MP3 library; the program reaches it by name at run time.
TEST(RunSequence, ProgramDoesNotLinkTheMp3Library) {
    EXPECT_NE(kt::shell(std::string("ldd ") + KOVEX_PROGRAM + " | grep -q mp3lame"), 0);
    EXPECT_EQ(kt::shell(std::string("ldd ") + KOVEX_REAL_ENGINE + " | grep -q mp3lame"), 0);
}

}  // namespace
