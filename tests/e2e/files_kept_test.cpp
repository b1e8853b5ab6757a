// No failure costs the user a file: an output another run is writing is left
// alone, closed standard descriptors never become a file's, an input that
// shrinks and a tag that cannot be written are failures, outputs that hold no
// tag still complete, and sizes past 4 GiB are counted whole.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

using kt::counting_samples;
using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;
using Env = std::vector<std::pair<std::string, std::string>>;

constexpr int kFailure = 255;  // -1 as the system reports it
constexpr uint32_t kChunkValues = 2304;  // the fake engine's chunk

// What the fake engine writes for `chunks` chunks and the flush.
std::string fake_mp3(int chunks) {
    std::string bytes;
    for (int chunk = 1; chunk <= chunks; ++chunk) bytes += std::string(16, static_cast<char>(chunk));
    return bytes + std::string(8, 'F');
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

RunResult run(const ProgramFolder& folder, const std::vector<std::string>& args, const Env& env = {}) {
    RunOptions options;
    options.env = env;
    return kt::run_program(folder.program, args, options);
}

const std::string kOldBytes = "an earlier run's MP3";

TEST(FilesKept, OutputLockedByAnotherIsLeftAlone) {
    struct Case {
        const char* output_arg;
        const char* why;
    } cases[] = {
        {"out.mp3", "the output named as it is"},
        {"out.wav", "the message names the output as the .mp3 rule made it"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(5000)));
        kt::write_file(folder.dir.file("out.mp3"), kOldBytes);
        int held = open(folder.dir.file("out.mp3").c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(held, 0);
        ASSERT_EQ(flock(held, LOCK_EX), 0);
        RunResult result = run(folder, {"-GUI", "in.wav", c.output_arg}, {{"FAKE_ENGINE_LOG", folder.dir.file("engine.log")}});
        close(held);
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, "  Output file is in use by another run: out.mp3\n");
        EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), kOldBytes);
        EXPECT_FALSE(contains(kt::read_file(folder.dir.file("engine.log")), "beInitStream")) << "a stream was opened";
    }
}

TEST(FilesKept, SecondRunOnTheSameOutputIsRefusedWhileTheFirstCompletes) {
    ProgramFolder folder(Engine::fake);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(4 * kChunkValues)));
    const std::string first_log = folder.dir.file("first.log");
    const std::string second_log = folder.dir.file("second.log");

    // Four chunks of 400 ms: the second run starts after the first chunk and ends long before the last.
    RunOptions slow;
    slow.env = {{"FAKE_ENGINE_LOG", first_log}, {"FAKE_ENGINE_CHUNK_DELAY_MS", "400"}};
    kt::Spawned first = kt::spawn_program(folder.program, {"-GUI", "in.wav", "out.mp3"}, slow);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!contains(kt::read_file(first_log), "beEncodeChunk") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    RunResult second = run(folder, {"-GUI", "in.wav", "out.mp3"}, {{"FAKE_ENGINE_LOG", second_log}});
    RunResult first_result = kt::finish_program(first);

    EXPECT_EQ(second.status, kFailure);
    EXPECT_EQ(second.err, "  Output file is in use by another run: out.mp3\n");
    EXPECT_FALSE(contains(kt::read_file(second_log), "beInitStream")) << "the second run opened a stream";
    EXPECT_EQ(first_result.status, 0) << first_result.err;
    EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), fake_mp3(4)) << "the first run's file was disturbed";
}

void check_closed_descriptors(const std::vector<int>& closed, Engine engine) {
    ProgramFolder folder(engine);
    const std::string input = kt::wav_file({}, engine == Engine::fake ? counting_samples(5000)
                                                                      : kt::music_samples(11025, 2, 44100));
    kt::write_file(folder.dir.file("in.wav"), input);
    RunOptions options;
    options.closed_descriptors = closed;
    RunResult result = kt::run_program(folder.program, {"-GUI", "in.wav", "out.mp3"}, options);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(kt::read_file(folder.dir.file("in.wav")), input);
    const std::string mp3 = kt::read_file(folder.dir.file("out.mp3"));
    if (engine == Engine::fake) {
        EXPECT_EQ(mp3, fake_mp3(3)) << "screen text or something else in the file";
        return;
    }
    std::vector<kt::FrameHeader> frames = kt::mp3_frames(mp3);
    ASSERT_FALSE(frames.empty()) << "the file does not start with an MPEG frame";
    EXPECT_EQ(frames.back().offset + frames.back().length, mp3.size()) << "bytes outside the MPEG frames";
    kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file("out.mp3"));
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(audio.samples.size(), 11025u * 2);
}

TEST(FilesKept, ClosedStandardDescriptorsNeverBecomeAFilesDescriptor) {
    // A file opened on a closed 0, 1 or 2 would receive the screen text or the error messages.
    struct Case {
        std::vector<int> closed;
        const char* why;
    } cases[] = {
        {{1}, "standard output closed"},
        {{0, 1}, "the input would be 0, the output 1, where the screen text goes"},
        {{1, 2}, "the input would be 1, the output 2, where the messages go"},
        {{0, 1, 2}, "all three closed"},
    };
    for (const Case& c : cases) {
        for (Engine engine : {Engine::fake, Engine::real}) {
            SCOPED_TRACE(std::string(c.why) + (engine == Engine::fake ? ", fake engine" : ", real engine"));
            check_closed_descriptors(c.closed, engine);
        }
    }
}

TEST(FilesKept, InputThatShrinksWhileReadIsAReadError) {
    // 40 chunks measured at the start; during the first, the file is cut to two chunks' worth.
    struct Case {
        std::vector<std::string> args;
        std::string input;
        const char* why;
    } cases[] = {
        {{"-GUI", "in.wav", "out.mp3"}, kt::wav_file({}, counting_samples(40 * kChunkValues)), "-GUI"},
        {{"in.wav", "out.mp3"}, kt::wav_file({}, counting_samples(40 * kChunkValues)), "the bar"},
        {{"-GUI", "-r", "in.wav", "out.mp3"}, std::string(44, '\0') + counting_samples(40 * kChunkValues), "raw input"},
    };
    const long cut_to = 44 + 2 * 2 * kChunkValues;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        const std::string input = folder.dir.file("in.wav");
        kt::write_file(input, c.input);
        const std::string log = folder.dir.file("engine.log");
        RunResult result = run(folder, c.args,
                               {{"FAKE_ENGINE_LOG", log}, {"FAKE_ENGINE_TRUNCATE_INPUT", input + ":" + std::to_string(cut_to)}});
        ASSERT_EQ(kt::read_file(input).size(), static_cast<std::size_t>(cut_to)) << "the input was not cut";
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, "  Input file read error");
        EXPECT_FALSE(contains(result.out, "Writing LAME Tag"));
        EXPECT_FALSE(contains(result.out, "Encoding Process is complete"));
        EXPECT_FALSE(contains(kt::read_file(log), "beWriteVBRHeader"));
    }
}

TEST(FilesKept, TagThatCannotBeWrittenIsAWriteError) {
    for (bool gui : {true, false}) {
        SCOPED_TRACE(gui ? "-GUI" : "the bar");
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, counting_samples(5000)));
        std::vector<std::string> args{"in.wav", "out.mp3"};
        if (gui) args.insert(args.begin(), "-GUI");
        RunResult result = run(folder, args, {{"FAKE_ENGINE_VBR_HEADER_ERROR", "5"}});
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, "  Output file write error");
        EXPECT_FALSE(contains(result.out, "Writing LAME Tag"));
        EXPECT_FALSE(contains(result.out, "Encoding Process is complete"));
    }
}

TEST(FilesKept, OutputThatHoldsNoTagCompletes) {
    // Neither /dev/null nor a FIFO is a file a tag could be written into.
    struct Case {
        const char* why;
        Engine engine;
        bool fifo;  // else a link to /dev/null
        bool gui;
    } cases[] = {
        {"/dev/null, the fake engine failing the tag, -GUI", Engine::fake, false, true},
        {"/dev/null, the fake engine failing the tag, the bar", Engine::fake, false, false},
        {"/dev/null, the real engine, which finds no file to tag", Engine::real, false, true},
        {"a FIFO, the fake engine failing the tag", Engine::fake, true, true},
        {"a FIFO, the real engine", Engine::real, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(c.engine);
        // Half a second: the real engine's MP3 fits in the FIFO's buffer.
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, c.engine == Engine::fake
                                                                       ? counting_samples(5000)
                                                                       : kt::music_samples(22050, 2, 44100)));
        const std::string output = folder.dir.file("out.mp3");
        int reader = -1;
        if (c.fifo) {
            ASSERT_EQ(mkfifo(output.c_str(), 0600), 0);
            // Held open for reading and writing, so opening the FIFO never waits and its bytes are kept.
            reader = open(output.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            ASSERT_GE(reader, 0);
        } else {
            ASSERT_EQ(symlink("/dev/null", output.c_str()), 0);
        }
        std::vector<std::string> args{"in.wav", "out.mp3"};
        if (c.gui) args.insert(args.begin(), "-GUI");
        RunResult result = run(folder, args, {{"FAKE_ENGINE_VBR_HEADER_ERROR", "5"}});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(contains(result.out, c.gui ? "Writing LAME Tag...done\n" : "Encoding Process is complete"));
        if (reader >= 0) {
            std::string received;
            char buffer[65536];
            for (ssize_t got; (got = read(reader, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(got));
            close(reader);
            if (c.engine == Engine::fake) {
                EXPECT_EQ(received, fake_mp3(3));
            } else {
                EXPECT_GT(kt::mp3_frames(received).size(), 10u);
            }
        }
    }
}

// A raw input of `size` bytes, sparse, so nothing big is written or read.
void make_sparse(const std::string& path, uint64_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The first progress line: from after the last line feed before the first carriage return.
std::string first_progress_line(const std::string& out) {
    std::size_t end = out.find('\r');
    if (end == std::string::npos) return "";
    std::size_t start = out.rfind('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

void check_size_over_4_gib(uint64_t size, const std::string& style) {
    ProgramFolder folder(Engine::fake);
    make_sparse(folder.dir.file("in.raw"), size);
    std::vector<std::string> args{"-r", "in.raw", "out.mp3"};
    if (!style.empty()) args.insert(args.begin(), style);
    // The second chunk fails, so one chunk is read and encoded.
    RunResult result = run(folder, args, {{"FAKE_ENGINE_CHUNK_ERROR_AT", "2"}});
    EXPECT_EQ(result.status, kFailure);
    EXPECT_EQ(result.err, "beEncodeChunk() failed (7)");

    const double bytes = static_cast<double>(size);
    const double read = 2.0 * kChunkValues;
    const std::string line = first_progress_line(result.out);
    if (style != "-GUI") {
        // 192 kbps against 16-bit stereo at 44.1 kHz taken as 1411 kbps, in units of 1,049,024 bytes.
        const std::string estimate = formatted("  Estimated Output Size = %0.2fMb\n", bytes * 192 / 1411 / 1049024);
        EXPECT_TRUE(contains(result.out, estimate)) << "want" << estimate;
    }
    const std::string percent = formatted("(%0.2f%%)", read * 100 / bytes);
    ASSERT_EQ(percent, "(0.00%)");
    if (style.empty()) {
        const std::string bar = "  File progress: \xB3" + std::string(39, ' ') + "\xB3 " + percent + " ETA ";
        EXPECT_EQ(line.substr(0, bar.size()), bar);
    } else if (style == "-PROG2") {
        // The statistics line's megabytes are of 1,048,024 bytes.
        EXPECT_EQ(line.substr(0, line.find("ETA")),
                  "  " + percent + " Complete... Input File-size = " + formatted("%0.2f", bytes * (1.0 / 1048024.0)) +
                      "Mb... ");
    } else {
        EXPECT_EQ(line.substr(0, 20), "     0/5000   ( 0%)|");
    }
}

TEST(FilesKept, SizesOver4GiBAreCountedWhole) {
    struct Case {
        uint64_t size;
        const char* why;
    } cases[] = {
        {(5ull << 30) + 44, "5 GiB and a header"},
        // In 32 bits this is 4652 bytes, of which the first chunk would be 99 %.
        {(4ull << 30) + 44 + 2 * kChunkValues, "4 GiB, a header and one chunk"},
    };
    for (const Case& c : cases) {
        for (const char* style : {"", "-PROG2", "-GUI"}) {
            SCOPED_TRACE(std::string(c.why) + " " + style);
            check_size_over_4_gib(c.size, style);
        }
    }
}

}  // namespace
