// WAV files as real tools lay them out: chunks before, between and after the
// two that matter, longer format chunks, odd lengths and sizes never filled in.
// Each is made here from a few bytes; the samples of its data chunk, and only
// those, must reach the engine, the screen must be that of the canonical file
// with the same samples, and the real engine must write what LAME's own
// encoder writes from the same file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/screen_text.h"
#include "support/test_support.h"

namespace {

using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;
using kt::WavFormat;

// 1.5 seconds, not a whole number of MP3 frames, so the flush and the padding matter.
constexpr uint32_t kFrames = 66666;

struct Layout {
    const char* why;
    uint16_t channels;
    std::string file;     // the whole WAV file
    std::string samples;  // the bytes the program must take as samples
    bool lame_reads_it;   // LAME's encoder reads this file as the program must
};

std::vector<Layout> layouts() {
    const std::string stereo = kt::music_samples(kFrames, 2, 44100);
    const std::string mono = kt::music_samples(kFrames, 1, 44100);
    const std::string fmt = kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2)));
    const std::string data = kt::riff_chunk("data", stereo);
    // What ffmpeg writes between the format and the samples.
    const std::string ffmpeg_info = kt::riff_chunk("LIST", "INFO" + kt::riff_chunk("ISFT", std::string("Lavf58.76.100\0", 14)));
    // What a tagger appends: an INFO list and an ID3v2 tag of odd length (a title frame).
    const std::string tags = kt::riff_chunk("LIST", "INFO" + kt::riff_chunk("INAM", std::string("Song\0", 5))) +
                             kt::riff_chunk("id3 ", std::string("ID3\x03\x00\x00\x00\x00\x00\x0F", 10) +
                                                        std::string("TIT2\x00\x00\x00\x05\x00\x00\x00Song", 15));
    // An odd data length: a whole number of frames and one stray byte, then the pad byte.
    const std::string odd_samples = stereo.substr(0, 4 * (kFrames - 1) + 1);
    std::string piped = kt::riff_wave({fmt, kt::riff_chunk_stating("data", 0xFFFFFFFF, stereo)});
    piped.replace(4, 4, "\xFF\xFF\xFF\xFF");

    return {
        {"ffmpeg: a LIST chunk of 26 bytes between fmt and data, samples at byte 78", 2,
         kt::riff_wave({fmt, ffmpeg_info, data}), stereo, true},
        {"a fmt chunk of 18 bytes with cbSize 0, samples at byte 46", 2,
         kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2), kt::FmtForm::with_cb_size)), data}), stereo, true},
        {"WAVE_FORMAT_EXTENSIBLE with the PCM subformat and channel mask 3", 2,
         kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2), kt::FmtForm::extensible)), data}), stereo, true},
        {"LIST INFO and id3 chunks after the data, as taggers append them: not encoded", 2,
         kt::riff_wave({fmt, data, tags}), stereo, true},
        {"a JUNK chunk of 28 bytes before fmt, as Windows tools reserve it", 2,
         kt::riff_wave({kt::riff_chunk("JUNK", std::string(28, '\0')), fmt, data}), stereo, true},
        {"a fact chunk before data", 2,
         kt::riff_wave({fmt, kt::riff_chunk("fact", std::string("\x6A\x04\x01\x00", 4)), data}), stereo, true},
        {"bext before fmt, as broadcast recorders write; PEAK before data, cue after", 2,
         kt::riff_wave({kt::riff_chunk("bext", std::string(602, '\0')), fmt, kt::riff_chunk("PEAK", std::string(24, '\0')),
                        data, kt::riff_chunk("cue ", std::string(4, '\0'))}),
         stereo, true},
        {"a chunk of an id nobody knows before data", 2,
         kt::riff_wave({fmt, kt::riff_chunk("zzz9", std::string(13, '\x01')), data}), stereo, true},
        {"an odd data length: the stray byte and the pad byte belong to no frame, the chunk after it is not sound", 2,
         kt::riff_wave({fmt, kt::riff_chunk("data", odd_samples), tags}), odd_samples, true},
        {"ffmpeg into a pipe: RIFF and data sizes 0xFFFFFFFF, the samples run to the end of the file", 2, piped, stereo,
         true},
        {"a data length longer than the file, as a recording cut short leaves it: to the end of the file", 2,
         kt::riff_wave({fmt, kt::riff_chunk_stating("data", 4 * kFrames + 100000, stereo)}), stereo, true},
        // LAME's encoder takes a stated length of 0 as no samples at all.
        {"a data length of 0, never filled in: to the end of the file", 2,
         kt::riff_wave({fmt, kt::riff_chunk_stating("data", 0, stereo)}), stereo, false},
        // LAME's encoder stops at the data chunk when it has seen no fmt chunk yet.
        {"data before fmt: both are found wherever they stand", 2, kt::riff_wave({data, fmt}), stereo, false},
        {"ffmpeg's mono file", 1,
         kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(1))), ffmpeg_info, kt::riff_chunk("data", mono)}), mono,
         true},
    };
}

// The values that reach the engine: the odd last byte belongs to no value.
std::string whole_values(const std::string& samples) { return samples.substr(0, samples.size() / 2 * 2); }

void check_samples_received(const Layout& layout) {
    ProgramFolder folder(Engine::fake);
    kt::write_file(folder.dir.file("in.wav"), layout.file);
    RunOptions options;
    options.env = {{"FAKE_ENGINE_SAMPLES", folder.dir.file("samples.bin")}};
    RunResult result = kt::run_program(folder.program, {"-GUI", "in.wav", "out.mp3"}, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string received = kt::read_file(folder.dir.file("samples.bin"));
    const std::string expected = whole_values(layout.samples);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "other values than the data chunk's reached the engine";
}

TEST(WavLayouts, TheEngineGetsTheDataChunksSamplesAndNothingElse) {
    // The builder lays the canonical file out as the one canonical header does.
    const std::string some = kt::music_samples(10, 2, 44100);
    ASSERT_EQ(kt::riff_wave({kt::riff_chunk("fmt ", kt::fmt_body(kt::pcm_format(2))), kt::riff_chunk("data", some)}),
              kt::wav_file(kt::pcm_format(2), some));
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.why);
        check_samples_received(layout);
    }
}



void check_same_screen(const Layout& layout, const std::vector<std::string>& style) {
    std::vector<std::string> args = style;
    args.insert(args.end(), {"in.wav", "out.mp3"});
    std::string screens[2];
    const std::string files[2] = {layout.file, kt::wav_file(kt::pcm_format(layout.channels), layout.samples)};
    for (int i = 0; i < 2; ++i) {
        ProgramFolder folder(Engine::fake);
        kt::write_file(folder.dir.file("in.wav"), files[i]);
        RunResult result = kt::run_program(folder.program, args);
        ASSERT_EQ(result.status, 0) << result.out << result.err;
        screens[i] = kt::without_times(result.out);
    }
    EXPECT_TRUE(screens[0] == screens[1]) << kt::first_screen_difference(screens[0], screens[1]);
}

TEST(WavLayouts, ScreenIsThatOfTheCanonicalFileWithTheSameSamples) {
    // Sizes, progress, bar and estimate count 44 header bytes and the samples, whatever else the file holds.
    const std::vector<std::string> styles[] = {{}, {"-PROG2"}, {"-GUI"}};
    for (const Layout& layout : layouts()) {
        for (const std::vector<std::string>& style : styles) {
            SCOPED_TRACE(std::string(layout.why) + (style.empty() ? "" : ", " + style[0]));
            check_same_screen(layout, style);
        }
    }
}

void check_peer(const Layout& layout) {
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), layout.file);
    // Where LAME's encoder misreads the layout, it encodes the canonical file of the same samples.
    kt::write_file(folder.dir.file("peer.wav"),
                   layout.lame_reads_it ? layout.file : kt::wav_file(kt::pcm_format(layout.channels), layout.samples));
    RunResult result = kt::run_program(folder.program, {"in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const std::string lame_switches = layout.channels == 1 ? "-m m -b 96" : "-m j -b 192";
    ASSERT_EQ(kt::shell("cd " + folder.dir.path() + " && lame --quiet " + lame_switches +
                        " --noreplaygain peer.wav peer.mp3"),
              0);

    kt::DecodedAudio ours = kt::decode_mp3(folder.dir.file("out.mp3"));
    ASSERT_TRUE(ours.ok);
    EXPECT_EQ(ours.channels, layout.channels);
    EXPECT_EQ(ours.samples.size(), layout.samples.size() / (2u * layout.channels) * layout.channels)
        << "gapless: exactly the input's sample frames";
    if (layout.lame_reads_it) {
        EXPECT_TRUE(kt::read_file(folder.dir.file("out.mp3")) == kt::read_file(folder.dir.file("peer.mp3")))
            << "the files differ";
    } else {
        kt::DecodedAudio peer = kt::decode_mp3(folder.dir.file("peer.mp3"));
        ASSERT_TRUE(peer.ok);
        EXPECT_TRUE(ours.samples == peer.samples) << "the decoded samples differ";
    }
}

TEST(WavLayouts, RealEngineWritesWhatTheLameEncoderWrites) {
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.why);
        check_peer(layout);
    }
}

}  // namespace
