// "-" as a file name: standard input read forward from a pipe, standard output
// carrying the MP3 and nothing else, the screen moved whole to standard error,
// and the LAME tag written only where the MP3 is a whole regular file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "support/screen_text.h"
#include "support/test_support.h"

namespace {

using kt::counting_samples;
using kt::Engine;
using kt::ProgramFolder;
using kt::Redirect;
using kt::RunOptions;
using kt::RunResult;
using kt::WavFormat;
using Env = std::vector<std::pair<std::string, std::string>>;

constexpr int kFailure = 255;            // -1 as the system reports it
constexpr std::size_t kChunkBytes = 4608;  // the fake engine's chunk of 2304 values
const char kNotPcm[] = "  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n";

// What the fake engine writes for `chunks` chunks and the flush.
std::string fake_mp3(std::size_t chunks) {
    std::string bytes;
    for (std::size_t chunk = 1; chunk <= chunks; ++chunk) bytes += std::string(16, static_cast<char>(chunk));
    return bytes + std::string(8, 'F');
}

std::size_t chunks_of(std::size_t sample_bytes) { return (sample_bytes / 2 * 2 + kChunkBytes - 1) / kChunkBytes; }

RunResult run(const ProgramFolder& folder, const std::vector<std::string>& args, RunOptions options = {}) {
    return kt::run_program(folder.program, args, options);
}

RunOptions piped(const std::string& bytes, const Env& env = {}) {
    RunOptions options;
    options.stdin_bytes = bytes;
    options.env = env;
    return options;
}

// The same command twice: `args` ending in "- out.mp3" with `piped_bytes` on
// standard input, then with in.wav in place of "-".
struct PipedAndNamed {
    RunResult from_pipe;
    RunResult by_name;
};
PipedAndNamed run_piped_and_named(const ProgramFolder& folder, std::vector<std::string> args,
                                  const std::string& piped_bytes) {
    args.insert(args.end(), {"-", "out.mp3"});
    PipedAndNamed runs;
    runs.from_pipe = run(folder, args, piped(piped_bytes));
    args[args.size() - 2] = "in.wav";
    runs.by_name = run(folder, args);
    return runs;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// A screen in three parts: what comes before the first progress line, the
// progress lines (each up to its carriage return), and what follows the last.
struct ScreenParts {
    std::string before;
    std::vector<std::string> progress;
    std::string after;
};

ScreenParts parts_of(const std::string& out) {
    ScreenParts parts;
    std::size_t first_return = out.find('\r');
    if (first_return == std::string::npos) {
        parts.before = out;
        return parts;
    }
    std::size_t at = out.rfind('\n', first_return) + 1;
    std::size_t last_return = out.rfind('\r');
    parts.before = out.substr(0, at);
    while (at <= last_return) {
        std::size_t end = out.find('\r', at);
        parts.progress.push_back(out.substr(at, end + 1 - at));
        at = end + 1;
    }
    parts.after = out.substr(last_return + 1);
    return parts;
}


// ---------------------------------------------------------------- standard input

struct PipedLayout {
    const char* why;
    std::vector<std::string> switches;  // before "-" "out.mp3"
    std::string bytes;                  // what the pipe carries
    std::string samples;                // what must reach the engine
};

std::vector<PipedLayout> piped_layouts() {
    const std::string stereo = counting_samples(2 * 11000);
    const std::string mono = counting_samples(11000);
    const std::string fmt = kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2)));
    const std::string ffmpeg_info = kt::riff_chunk("LIST", "INFO" + kt::riff_chunk("ISFT", std::string("Lavf58.76.100\0", 14)));
    const std::string tags = kt::riff_chunk("LIST", "INFO" + kt::riff_chunk("INAM", std::string("Song\0", 5))) +
                             kt::riff_chunk("id3 ", std::string("ID3\x03\x00\x00\x00\x00\x00\x00", 10));
    const std::string odd_samples = stereo.substr(0, stereo.size() - 3);
    std::string ffmpeg_pipe = kt::riff_wave({fmt, ffmpeg_info, kt::riff_chunk_stating("data", 0xFFFFFFFF, stereo)});
    ffmpeg_pipe.replace(4, 4, "\xFF\xFF\xFF\xFF");
    const std::string cut_short = kt::riff_wave({fmt, kt::riff_chunk_stating("data", 4 * 100000, stereo)});
    return {
        {"the canonical 44-byte header", {}, kt::wav_file(kt::pcm_format(2), stereo), stereo},
        {"ffmpeg's LIST chunk between fmt and data, read past", {}, kt::riff_wave({fmt, ffmpeg_info, kt::riff_chunk("data", stereo)}),
         stereo},
        {"JUNK before fmt and fact before data, read past", {},
         kt::riff_wave({kt::riff_chunk("JUNK", std::string(28, '\0')), fmt,
                        kt::riff_chunk("fact", std::string("\x6A\x04\x01\x00", 4)), kt::riff_chunk("data", stereo)}),
         stereo},
        {"an odd-sized chunk before the data: its pad byte is read past too", {},
         kt::riff_wave({fmt, kt::riff_chunk("zzz9", std::string(13, '\x01')), kt::riff_chunk("data", stereo)}), stereo},
        {"a chunk of 100,000 bytes before the data, more than any one read", {},
         kt::riff_wave({kt::riff_chunk("bext", std::string(100000, '\x02')), fmt, kt::riff_chunk("data", stereo)}), stereo},
        {"an extensible fmt chunk of 40 bytes", {},
         kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2), kt::FmtForm::extensible)), kt::riff_chunk("data", stereo)}),
         stereo},
        {"LIST and id3 chunks after the stated samples are not sound", {},
         kt::riff_wave({fmt, kt::riff_chunk("data", stereo), tags}), stereo},
        {"an odd data length followed by tags: the stray byte and the pad belong to no value", {},
         kt::riff_wave({fmt, kt::riff_chunk("data", odd_samples), tags}), odd_samples},
        {"ffmpeg into a pipe: sizes 0xFFFFFFFF, the samples run to the pipe's end", {}, ffmpeg_pipe, stereo},
        {"a data length of 0 says nothing either: to the pipe's end", {},
         kt::riff_wave({fmt, kt::riff_chunk_stating("data", 0, stereo)}), stereo},
        {"a pipe that ends before its stated length ends the samples there", {}, cut_short, stereo},
        {"a mono file", {}, kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(1))), kt::riff_chunk("data", mono)}), mono},
        {"raw input: 44 bytes skipped by reading, the rest is sound", {"-r"}, kt::wav_file(kt::pcm_format(2), stereo), stereo},
        {"raw headerless input under -mm", {"-r", "-mm"}, std::string(44, '\x01') + mono, mono},
        {"raw input whose 44 bytes are a mono RIFF header: mono, as for the file by name", {"-r"},
         kt::wav_file(kt::pcm_format(1), mono), mono},
    };
}

TEST(StandardInput, EachLayoutGivesTheEngineItsSamplesReadForward) {
    // The samples of the data chunk and nothing else, and the record of the same file by name.
    for (const PipedLayout& layout : piped_layouts()) {
        SCOPED_TRACE(layout.why);
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), layout.bytes);
        std::vector<std::string> args = layout.switches;
        args.insert(args.end(), {"-GUI", "in.wav", "named.mp3"});
        ASSERT_EQ(run(folder, args, piped("", {{"FAKE_ENGINE_RECORD", folder.dir.file("named.bin")}})).status, 0);
        args[args.size() - 2] = "-";
        args.back() = "out.mp3";
        RunResult result = run(folder, args,
                               piped(layout.bytes, {{"FAKE_ENGINE_SAMPLES", folder.dir.file("samples.bin")},
                                                    {"FAKE_ENGINE_RECORD", folder.dir.file("record.bin")}}));
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        EXPECT_EQ(result.err, "");
        const std::string record = kt::read_file(folder.dir.file("record.bin"));
        const std::string named = kt::read_file(folder.dir.file("named.bin"));
        EXPECT_TRUE(record == named) << kt::record_differences(record, named);
        const std::string received = kt::read_file(folder.dir.file("samples.bin"));
        const std::string expected = layout.samples.substr(0, layout.samples.size() / 2 * 2);
        EXPECT_EQ(received.size(), expected.size());
        EXPECT_TRUE(received == expected) << "other values than the data chunk's reached the engine";
        EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), fake_mp3(chunks_of(layout.samples.size())));
    }
}

TEST(StandardInput, RedirectedFileIsReadAsAFile) {
    // Standard input that can seek has a size and can be read again: data
    // before fmt is found as in a file given by name, and the screen is that file's.
    ProgramFolder folder(Engine::fake);
    const std::string samples = counting_samples(2 * 11000);
    const std::string input = kt::riff_wave({kt::riff_chunk("data", samples), kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2)))});
    kt::write_file(folder.dir.file("in.wav"), input);
    RunOptions options;
    options.stdin_file = folder.dir.file("in.wav");
    options.env = {{"FAKE_ENGINE_SAMPLES", folder.dir.file("samples.bin")}};
    RunResult redirected = run(folder, {"-GUI", "-", "out.mp3"}, options);
    ASSERT_EQ(redirected.status, 0) << redirected.out << redirected.err;
    EXPECT_TRUE(kt::read_file(folder.dir.file("samples.bin")) == samples);
    RunResult named = run(folder, {"-GUI", "in.wav", "named.mp3"});
    ASSERT_EQ(named.status, 0);
    EXPECT_EQ(kt::without_times(redirected.out),
              kt::without_times(replaced(named.out, "Encoding in.wav to named.mp3", "Encoding - to out.mp3")));
}

TEST(StandardInput, FormatAfterTheSamplesOnAPipeIsRefusedAsNotPcm) {
    // A pipe cannot come back to samples that stood before the format.
    for (bool output_existed : {false, true}) {
        SCOPED_TRACE(output_existed ? "an earlier MP3 of that name" : "no output yet");
        ProgramFolder folder(Engine::fake);
        if (output_existed) kt::write_file(folder.dir.file("out.mp3"), "an earlier run's MP3");
        const std::string input = kt::riff_wave({kt::riff_chunk("data", counting_samples(4000)),
                                                 kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2)))});
        RunResult result = run(folder, {"-GUI", "-", "out.mp3"}, piped(input));
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.out, kNotPcm);
        EXPECT_EQ(result.err, "");
        if (output_existed) {
            EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), "an earlier run's MP3");
        } else {
            EXPECT_FALSE(kt::file_exists(folder.dir.file("out.mp3")));
        }
    }
}

const std::vector<std::string> kStyles[] = {{}, {"-PROG2"}, {"-GUI"}};

std::string style_name(const std::vector<std::string>& style) { return style.empty() ? "the bar" : style[0]; }

TEST(StandardInput, KnownLengthGivesTheScreenOfTheFileByName) {
    // Eleven chunks: progress, bar and estimate count the stated length.
    const std::string samples = counting_samples(2 * 11793);
    const std::string fmt = kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2)));
    const struct {
        const char* why;
        std::string bytes;
    } cases[] = {
        {"the canonical header", kt::wav_file(kt::pcm_format(2), samples)},
        {"a LIST chunk before the data and tags after it", kt::riff_wave({fmt, kt::riff_chunk("LIST", "INFO"),
                                                                          kt::riff_chunk("data", samples),
                                                                          kt::riff_chunk("id3 ", std::string(10, '\0'))})},
    };
    for (const auto& c : cases) {
        for (const std::vector<std::string>& style : kStyles) {
            SCOPED_TRACE(std::string(c.why) + ", " + style_name(style));
            ProgramFolder folder(Engine::fake);
            kt::write_file(folder.dir.file("in.wav"), c.bytes);
            auto [from_pipe, by_name] = run_piped_and_named(folder, style, c.bytes);
            ASSERT_EQ(from_pipe.status, 0) << from_pipe.err;
            ASSERT_EQ(by_name.status, 0) << by_name.err;
            const std::string got = kt::without_times(from_pipe.out);
            const std::string want = kt::without_times(replaced(by_name.out, "Encoding in.wav to", "Encoding - to"));
            EXPECT_TRUE(got == want) << kt::first_screen_difference(got, want);
            EXPECT_EQ(parts_of(got).progress.size(), 11u);
        }
    }
}

// The line for a pipe of unknown length: megabytes of 1,048,024 bytes and the elapsed time.
std::string unsized_line(std::size_t bytes_read) {
    char line[64];
    std::snprintf(line, sizeof line, "  %0.2fMb read... Elapsed m:ss\r", static_cast<double>(bytes_read) / 1048024.0);
    return line;
}

TEST(StandardInput, UnknownLengthLeavesOutOnlyWhatNeedsTheSize) {
    // 47,172 bytes of samples: 0.05 "Mb" of 1,048,024 bytes, but 0.04 MiB, in eleven chunks.
    const std::string samples = counting_samples(2 * 11793);
    ASSERT_EQ(samples.size(), 47172u);
    std::string ffmpeg_pipe = kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2))),
                                             kt::riff_chunk_stating("data", 0xFFFFFFFF, samples)});
    ffmpeg_pipe.replace(4, 4, "\xFF\xFF\xFF\xFF");
    const struct {
        const char* why;
        std::vector<std::string> switches;
        std::string bytes;     // on the pipe
        std::string by_name;   // the file whose screen it is, but for the size
    } cases[] = {
        {"ffmpeg into a pipe", {}, ffmpeg_pipe, kt::wav_file(kt::pcm_format(2), samples)},
        {"raw input on a pipe", {"-r"}, std::string(44, '\0') + samples, std::string(44, '\0') + samples},
    };
    for (const auto& c : cases) {
        for (const std::vector<std::string>& style : kStyles) {
            SCOPED_TRACE(std::string(c.why) + ", " + style_name(style));
            ProgramFolder folder(Engine::fake);
            kt::write_file(folder.dir.file("in.wav"), c.by_name);
            std::vector<std::string> args = c.switches;
            args.insert(args.end(), style.begin(), style.end());
            auto [from_pipe, by_name] = run_piped_and_named(folder, args, c.bytes);
            ASSERT_EQ(from_pipe.status, 0) << from_pipe.err;
            ASSERT_EQ(by_name.status, 0) << by_name.err;

            // The file's screen, its estimate line gone as for VBR and every progress line the unsized one.
            ScreenParts want = parts_of(kt::without_times(replaced(by_name.out, "Encoding in.wav to", "Encoding - to")));
            want.before = std::regex_replace(want.before, std::regex(R"(  Estimated Output Size = [0-9.]+Mb\n)"), "\n");
            for (std::size_t i = 0; i < want.progress.size(); ++i)
                want.progress[i] = unsized_line(std::min((i + 1) * kChunkBytes, samples.size()));
            ScreenParts got = parts_of(kt::without_times(from_pipe.out));
            EXPECT_TRUE(got.before == want.before) << kt::first_screen_difference(got.before, want.before);
            ASSERT_EQ(got.progress.size(), 11u);
            EXPECT_EQ(got.progress, want.progress);
            EXPECT_EQ(got.progress.back(), "  0.05Mb read... Elapsed m:ss\r");
            EXPECT_EQ(got.after, want.after);
            EXPECT_EQ(kt::read_file(folder.dir.file("out.mp3")), fake_mp3(11));
        }
    }
}

TEST(StandardInput, RealEngineWritesTheBytesOfTheFileByName) {
    // 1.5 seconds, not a whole number of MP3 frames, so the flush and the padding matter.
    const uint32_t frames = 66666;
    const std::string stereo = kt::music_samples(frames, 2, 44100);
    const std::string canonical = kt::wav_file(kt::pcm_format(2), stereo);
    std::string ffmpeg_pipe = kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2))),
                                             kt::riff_chunk_stating("data", 0xFFFFFFFF, stereo)});
    ffmpeg_pipe.replace(4, 4, "\xFF\xFF\xFF\xFF");
    const struct {
        const char* why;
        std::vector<std::string> switches;
        std::string on_pipe;
        std::string by_name;
    } cases[] = {
        {"cat in.wav | kovex -GUI - out.mp3", {}, canonical, canonical},
        {"ffmpeg into a pipe: the MP3 of the canonical file, its LAME tag counting every sample", {}, ffmpeg_pipe,
         canonical},
        {"raw input on a pipe", {"-r"}, canonical, canonical},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::real);
        kt::write_file(folder.dir.file("in.wav"), c.by_name);
        std::vector<std::string> args = c.switches;
        args.insert(args.end(), {"-GUI", "-", "piped.mp3"});
        RunResult from_pipe = run(folder, args, piped(c.on_pipe));
        args[args.size() - 2] = "in.wav";
        args.back() = "named.mp3";
        RunResult by_name = run(folder, args);
        ASSERT_EQ(from_pipe.status, 0) << from_pipe.err;
        ASSERT_EQ(by_name.status, 0) << by_name.err;
        const std::string mp3 = kt::read_file(folder.dir.file("piped.mp3"));
        EXPECT_GT(mp3.size(), 10000u);
        EXPECT_TRUE(mp3 == kt::read_file(folder.dir.file("named.mp3"))) << "the files differ";
        kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file("piped.mp3"));
        ASSERT_TRUE(audio.ok);
        EXPECT_EQ(audio.samples.size(), 2u * frames) << "gapless: exactly the input's length";
    }
}

// --------------------------------------------------------------- standard output

TEST(StandardOutput, CarriesTheMp3AloneAndTheScreenGoesToStandardError) {
    // Every screen text, the unknown switch's line first, on standard error as it
    // would stand on standard output; standard output holds the engine's bytes only.
    const std::string wav = kt::wav_file(kt::pcm_format(2), counting_samples(2 * 11000));
    for (bool input_piped : {false, true}) {
        for (const std::vector<std::string>& style : kStyles) {
            SCOPED_TRACE(std::string(input_piped ? "- -, " : "in.wav -, ") + style_name(style));
            ProgramFolder folder(Engine::fake);
            kt::write_file(folder.dir.file("in.wav"), wav);
            std::vector<std::string> args = style;
            args.insert(args.end(), {"--nohist", input_piped ? "-" : "in.wav", "-"});
            RunResult to_stdout = run(folder, args, input_piped ? piped(wav) : RunOptions{});
            args[args.size() - 2] = "in.wav";
            args.back() = "out.mp3";
            RunResult to_file = run(folder, args);
            ASSERT_EQ(to_stdout.status, 0) << to_stdout.err;
            ASSERT_EQ(to_file.status, 0) << to_file.err;
            ASSERT_EQ(to_file.err, "  Ignoring unknown switch --nohist\n");
            EXPECT_TRUE(to_stdout.out == fake_mp3(10)) << "screen text among the MP3's bytes";
            const std::string got = kt::without_times(to_stdout.err);
            const std::string want = kt::without_times(
                to_file.err + replaced(to_file.out, "Encoding in.wav to out.mp3",
                                       input_piped ? "Encoding - to -" : "Encoding in.wav to -"));
            EXPECT_TRUE(got == want) << kt::first_screen_difference(got, want);
            EXPECT_FALSE(kt::file_exists(folder.dir.file("-"))) << "a file named -";
        }
    }
}

TEST(StandardOutput, RefusedRunWritesNothingToIt) {
    // Each refusal with the MP3 on standard output: the same texts as with an
    // output file, in the same order, all on standard error.
    std::vector<std::string> too_many_switches{"-GUI"};
    too_many_switches.insert(too_many_switches.end(), 60, "-b128");
    too_many_switches.insert(too_many_switches.end(), {"in.wav", "-"});
    const struct {
        const char* why;
        Engine engine;
        std::vector<std::string> args;  // "-" is the output; the same with out.mp3 is the comparison
        std::string input;              // in.wav, and what standard input carries
    } cases[] = {
        {"floating-point samples, -GUI", Engine::fake, {"-GUI", "in.wav", "-"}, kt::wav_file(kt::wav_format(3, 2, 44100, 32), "")},
        {"floating-point samples, with the banner and the prompt", Engine::fake, {"in.wav", "-"},
         kt::wav_file(kt::wav_format(3, 2, 44100, 32), "")},
        {"a rate of 22050 Hz", Engine::fake, {"-GUI", "in.wav", "-"}, kt::wav_file(kt::wav_format(1, 2, 22050, 16), "")},
        {"an empty pipe as the input", Engine::fake, {"-GUI", "-", "-"}, ""},
        {"a name longer than 254 characters", Engine::none, {std::string(255, 'a'), "-"}, ""},
        {"switches beyond 299 characters", Engine::none, too_many_switches, ""},
        {"no engine", Engine::none, {"-GUI", "in.wav", "-"}, kt::wav_file(kt::pcm_format(2), "")},
        {"an input that is not there, -GUI", Engine::fake, {"-GUI", "missing.wav", "-"}, ""},
        // The message comes after the banner, as it does with an output file.
        {"an input that is not there, after the banner", Engine::fake, {"missing.wav", "-"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(c.engine);
        kt::write_file(folder.dir.file("in.wav"), c.input);
        std::vector<std::string> args = c.args;
        RunResult to_stdout = run(folder, args, piped(c.input));
        args.back() = "out.mp3";
        RunResult to_file = run(folder, args, piped(c.input));
        EXPECT_EQ(to_file.status, kFailure);
        EXPECT_EQ(to_stdout.status, kFailure);
        EXPECT_EQ(to_stdout.out, "") << "text on standard output";
        EXPECT_EQ(to_stdout.err, to_file.out + to_file.err);
        EXPECT_FALSE(kt::file_exists(folder.dir.file("out.mp3")));
    }
}

TEST(StandardOutput, LameTagOnlyInARegularFileTheMp3Begins) {
    // A regular file that the MP3 begins is rewritten with its LAME tag, byte
    // for byte the file given by name; a pipe is not, and neither is a file the
    // MP3 does not begin: what stood there before is kept, and the run succeeds.
    const uint32_t frames = 66666;
    const std::string wav = kt::wav_file(kt::pcm_format(2), kt::music_samples(frames, 2, 44100));
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), wav);
    RunResult by_name = run(folder, {"-GUI", "in.wav", "named.mp3"});
    ASSERT_EQ(by_name.status, 0);
    const std::string named = kt::read_file(folder.dir.file("named.mp3"));
    RunResult to_pipe = run(folder, {"-GUI", "in.wav", "-"});
    ASSERT_EQ(to_pipe.status, 0) << to_pipe.err;
    const std::string bare = to_pipe.out;

    const struct {
        const char* why;
        std::vector<std::string> args;
        Redirect redirect;
        std::string before;  // what the file holds before the run
        std::string want;
    } cases[] = {
        {"kovex -GUI in.wav - > o.mp3", {"-GUI", "in.wav", "-"}, Redirect::truncate, "an earlier MP3", named},
        {"cat in.wav | kovex -GUI - - > o.mp3", {"-GUI", "-", "-"}, Redirect::truncate, "", named},
        {"an empty file appended to: the MP3 still begins it", {"-GUI", "in.wav", "-"}, Redirect::append, "", named},
        {"{ printf abc; kovex -GUI in.wav -; } > o.mp3: no tag, abc kept", {"-GUI", "in.wav", "-"},
         Redirect::after_bytes, "abc", "abc" + bare},
        {"kovex -GUI in.wav - >> o.mp3 onto earlier bytes: no tag, the earlier bytes kept", {"-GUI", "in.wav", "-"},
         Redirect::append, "abc", "abc" + bare},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kt::write_file(folder.dir.file("o.mp3"), c.before);
        RunOptions options = piped(wav);
        options.stdout_file = folder.dir.file("o.mp3");
        options.stdout_redirect = c.redirect;
        RunResult result = run(folder, c.args, options);
        EXPECT_EQ(result.status, 0) << result.err.substr(result.err.rfind('\r') + 1);
        EXPECT_NE(result.err.find("Writing LAME Tag...done\n"), std::string::npos);
        const std::string got = kt::read_file(folder.dir.file("o.mp3"));
        EXPECT_EQ(got.size(), c.want.size());
        EXPECT_TRUE(got == c.want) << "not the expected MP3";
    }
}

TEST(StandardOutput, PipeCarriesOnlyFramesThatDecodeToTheSameSamples) {
    // kovex -GUI in.wav - | cat > p.mp3: no LAME tag can be written into a pipe,
    // so the frame the engine reserves for it is left out, as LAME leaves it out.
    const uint32_t frames = 66666;
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file(kt::pcm_format(2), kt::music_samples(frames, 2, 44100)));
    RunResult by_name = run(folder, {"-GUI", "in.wav", "named.mp3"});
    RunResult to_pipe = run(folder, {"-GUI", "in.wav", "-"});
    ASSERT_EQ(by_name.status, 0);
    ASSERT_EQ(to_pipe.status, 0) << to_pipe.err;
    const std::string named = kt::read_file(folder.dir.file("named.mp3"));
    const std::string& piped_mp3 = to_pipe.out;

    std::vector<kt::FrameHeader> mp3_frames = kt::mp3_frames(piped_mp3);
    ASSERT_FALSE(mp3_frames.empty()) << "standard output does not begin with an MPEG frame";
    EXPECT_EQ(mp3_frames.back().offset + mp3_frames.back().length, piped_mp3.size()) << "bytes outside the frames";
    // The file's frames after its LAME tag, and nothing else.
    const std::size_t tag_frame = kt::mp3_frames(named).front().length;
    EXPECT_NE(named.substr(0, tag_frame).find("Info"), std::string::npos);
    EXPECT_TRUE(piped_mp3 == named.substr(tag_frame)) << "not the file's frames after its LAME tag";

    // LAME's own, when it writes into a pipe.
    ASSERT_EQ(kt::shell("cd " + folder.dir.path() +
                        " && lame --quiet -b 192 -m j --noreplaygain in.wav - | cat > lame_pipe.mp3"),
              0);
    EXPECT_TRUE(piped_mp3 == kt::read_file(folder.dir.file("lame_pipe.mp3"))) << "not the LAME encoder's frames";

    // Without the tag the decoder cannot trim the encoder's delay and padding,
    // but the samples of the tagged file stand in it whole.
    kt::write_file(folder.dir.file("p.mp3"), piped_mp3);
    kt::DecodedAudio from_pipe = kt::decode_mp3(folder.dir.file("p.mp3"));
    kt::DecodedAudio from_file = kt::decode_mp3(folder.dir.file("named.mp3"));
    ASSERT_TRUE(from_pipe.ok);
    ASSERT_TRUE(from_file.ok);
    ASSERT_EQ(from_file.samples.size(), 2u * frames);
    auto at = std::search(from_pipe.samples.begin(), from_pipe.samples.end(), from_file.samples.begin(),
                          from_file.samples.end());
    EXPECT_NE(at, from_pipe.samples.end()) << "the file's samples are not in the pipe's MP3";
}

TEST(StandardOutput, ClosedStandardOutputCompletesWithoutAFile) {
    // A closed standard output becomes /dev/null: the MP3 goes nowhere, and no file named "-" appears.
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file(kt::pcm_format(2), kt::music_samples(11025, 2, 44100)));
    RunOptions options;
    options.closed_descriptors = {1};
    RunResult result = run(folder, {"-GUI", "in.wav", "-"}, options);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("Encoding in.wav to -\n"), std::string::npos);
    EXPECT_NE(result.err.find("Writing LAME Tag...done\n"), std::string::npos);
    EXPECT_FALSE(kt::file_exists(folder.dir.file("-")));
}

TEST(StandardOutput, InputAndOutputThatAreOneFileAreRefused) {
    const struct {
        const char* why;
        std::vector<std::string> args;
        const char* stdin_file;   // or none
        const char* stdout_file;  // or none
        Redirect redirect;
        std::string err;
    } cases[] = {
        {"kovex - - <f.wav 1<>f.wav", {"-GUI", "-", "-"}, "f.wav", "f.wav", Redirect::read_write,
         " Output file would overwrite the input file -"},
        {"kovex f.wav - 1<>f.wav", {"-GUI", "f.wav", "-"}, nullptr, "f.wav", Redirect::read_write,
         " Output file would overwrite the input file -"},
        {"kovex - - <f.wav >>f.wav", {"-GUI", "-", "-"}, "f.wav", "f.wav", Redirect::append,
         " Output file would overwrite the input file -"},
        {"kovex - f.mp3 <f.mp3, a WAV named .mp3", {"-GUI", "-", "f.mp3"}, "f.mp3", nullptr, Redirect::truncate,
         " Output file would overwrite the input file f.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::fake);
        const std::string wav = kt::wav_file(kt::pcm_format(2), counting_samples(3000));
        kt::write_file(folder.dir.file("f.wav"), wav);
        kt::write_file(folder.dir.file("f.mp3"), wav);
        RunOptions options;
        options.env = {{"FAKE_ENGINE_LOG", folder.dir.file("engine.log")}};
        if (c.stdin_file != nullptr) options.stdin_file = folder.dir.file(c.stdin_file);
        if (c.stdout_file != nullptr) options.stdout_file = folder.dir.file(c.stdout_file);
        options.stdout_redirect = c.redirect;
        RunResult result = run(folder, c.args, options);
        EXPECT_EQ(result.status, kFailure);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(kt::read_file(folder.dir.file("f.wav")), wav);
        EXPECT_EQ(kt::read_file(folder.dir.file("f.mp3")), wav);
        EXPECT_EQ(kt::read_file(folder.dir.file("engine.log")).find("beInitStream"), std::string::npos);
    }
}

}  // namespace
