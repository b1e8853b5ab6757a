// Our lame_enc.dll called directly, loaded by path as the program loads it:
// its exports, its version record, how it opens, feeds, flushes and closes a
// stream, the LAME tag it writes, and the bytes it makes compared with LAME's
// own command-line encoder.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../../lame_enc/lame_enc_codes.h"
#include "engine_interface/engine_api.h"
#include "support/test_support.h"

namespace {

const EngineApi& engine() {
    static EngineApi api = [] {
        EngineApi bound{};
        void* library = dlopen(KOVEX_REAL_ENGINE, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            // Every test would call through null pointers: stop here, saying why.
            std::fprintf(stderr, "cannot load %s: %s\n", KOVEX_REAL_ENGINE, dlerror());
            std::abort();
        }
        bound.init_stream = reinterpret_cast<decltype(bound.init_stream)>(dlsym(library, "beInitStream"));
        bound.encode_chunk = reinterpret_cast<decltype(bound.encode_chunk)>(dlsym(library, "beEncodeChunk"));
        bound.deinit_stream = reinterpret_cast<decltype(bound.deinit_stream)>(dlsym(library, "beDeinitStream"));
        bound.close_stream = reinterpret_cast<decltype(bound.close_stream)>(dlsym(library, "beCloseStream"));
        bound.version = reinterpret_cast<decltype(bound.version)>(dlsym(library, "beVersion"));
        bound.write_vbr_header = reinterpret_cast<decltype(bound.write_vbr_header)>(dlsym(library, "beWriteVBRHeader"));
        return bound;
    }();
    return api;
}

struct Stream {
    EngineResult result = 0;
    uint32_t samples_per_chunk = 0;
    uint32_t output_buffer_size = 0;
    EngineStream handle = 0;
};

Stream open_stream(EngineConfig config) {
    Stream stream;
    stream.result = engine().init_stream(&config, &stream.samples_per_chunk,
                                         &stream.output_buffer_size, &stream.handle);
    return stream;
}

struct EncodeOutcome {
    EngineResult failed = 0;    // first non-zero stream result
    EngineResult vbr_header = 0;
    uint32_t samples_per_chunk = 0;
};

// Drives the engine the way the program does: samples from byte 44 on, in
// chunks of samples-per-chunk, every output written, flush, close, then
// (unless told not to) the VBR header into the closed file. `counts`, if
// given, are the chunks' sample counts instead, taken in turn; 0 is a full chunk.
EncodeOutcome encode_file(const EngineConfig& config, const std::string& wav, const std::string& mp3,
                          bool write_header = true, const std::vector<uint32_t>& counts = {}) {
    EncodeOutcome outcome;
    Stream stream = open_stream(config);
    if (stream.result != 0) {
        outcome.failed = stream.result;
        return outcome;
    }
    outcome.samples_per_chunk = stream.samples_per_chunk;
    std::FILE* in = std::fopen(wav.c_str(), "rb");
    std::FILE* out = std::fopen(mp3.c_str(), "wb+");
    std::vector<int16_t> samples(stream.samples_per_chunk);
    std::vector<uint8_t> encoded(stream.output_buffer_size);
    uint32_t bytes = 0;
    std::fseek(in, 44, SEEK_SET);
    for (size_t chunk = 0;; ++chunk) {
        size_t wanted = counts.empty() ? 0 : counts[chunk % counts.size()];
        size_t read = std::fread(samples.data(), 2, wanted == 0 ? samples.size() : wanted, in);
        if (read == 0) break;
        outcome.failed = engine().encode_chunk(stream.handle, static_cast<uint32_t>(read),
                                               samples.data(), encoded.data(), &bytes);
        if (outcome.failed != 0) break;
        std::fwrite(encoded.data(), 1, bytes, out);
    }
    if (outcome.failed == 0) {
        outcome.failed = engine().deinit_stream(stream.handle, encoded.data(), &bytes);
        if (outcome.failed == 0) std::fwrite(encoded.data(), 1, bytes, out);
    }
    engine().close_stream(stream.handle);
    std::fclose(in);
    std::fclose(out);
    if (outcome.failed == 0 && write_header) outcome.vbr_header = engine().write_vbr_header(mp3.c_str());
    return outcome;
}

std::string tag_name(const std::string& mp3) {
    // The tag sits after the first frame's side information; look in its first bytes.
    std::string head = mp3.substr(0, 64);
    for (const char* name : {"Info", "Xing"})
        if (head.find(name) != std::string::npos) return name;
    return "";
}

TEST(EngineExports, ExactlyTheSixEntryPoints) {
    std::string command = std::string("nm -D --defined-only ") + KOVEX_REAL_ENGINE;
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char address[128], kind[8], name[256];
        if (std::sscanf(line, "%127s %7s %255s", address, kind, name) == 3) names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    std::set<std::string> expected{"beInitStream",  "beEncodeChunk", "beDeinitStream",
                                   "beCloseStream", "beVersion",     "beWriteVBRHeader"};
    EXPECT_EQ(names, expected);
}

TEST(EngineVersionRecord, OwnVersionAndLibmp3lamesVersion) {
    EngineVersion version;
    std::memset(&version, 0, sizeof version);
    engine().version(&version);
    EXPECT_EQ(version.library_major, 1);
    EXPECT_EQ(version.library_minor, 32);
    EXPECT_EQ(version.engine_major, 3);  // Debian's libmp3lame 3.100
    EXPECT_EQ(version.engine_minor, 100);
    EXPECT_GE(version.release_day, 1);
    EXPECT_LE(version.release_day, 31);
    EXPECT_GE(version.release_month, 1);
    EXPECT_LE(version.release_month, 12);
    EXPECT_GE(version.release_year, 2024);
}

struct InitCase {
    const char* why;
    std::function<void(EngineConfig&)> change;
    EngineResult expected;
};

TEST(EngineInitStream, EachFaultHasItsOwnCodeAndAdjustableValuesOpen) {
    const InitCase cases[] = {
        {"the defaults open", [](EngineConfig&) {}, kLameEncOk},
        {"another record form", [](EngineConfig& c) { c.config_kind = 255; }, kLameEncBadConfigKind},
        {"a later layout", [](EngineConfig& c) { c.struct_version = 2; }, kLameEncBadConfigVersion},
        {"a record one byte short", [](EngineConfig& c) { c.struct_size = 330; }, kLameEncBadConfigSize},
        // libmp3lame aborts the process on an average above the maximum.
        {"average above maximum",
         [](EngineConfig& c) { c.abr = 1; c.bitrate = 160; c.max_bitrate = 128; }, kLameEncAbrRange},
        {"average equal to maximum",
         [](EngineConfig& c) { c.abr = 1; c.bitrate = 128; c.max_bitrate = 128; }, kLameEncOk},
        {"average without maximum",
         [](EngineConfig& c) { c.abr = 1; c.bitrate = 320; }, kLameEncOk},
        // With VBR on the flag is no average request, and VBR copes with min above max.
        {"abr flag under VBR",
         [](EngineConfig& c) { c.vbr_flag = 1; c.abr = 1; c.bitrate = 256; c.max_bitrate = 64; }, kLameEncOk},
        {"no MP3 sample rate", [](EngineConfig& c) { c.output_rate = 12345; }, kLameEncSettingsRefused},
        {"input rate above any signed int", [](EngineConfig& c) { c.input_rate = 0xFFFFFFFF; },
         kLameEncSettingsRefused},
        {"an input rate of 1 Hz, which would be resampled at great cost", [](EngineConfig& c) { c.input_rate = 1; },
         kLameEncSettingsRefused},
        // An ABR preset keeps the record's VBR bounds; crossed, libmp3lame would abort on the first frame.
        {"ABR preset with the VBR minimum above the maximum",
         [](EngineConfig& c) { c.vbr_flag = 1; c.vbr_method = 1; c.bitrate = 56; c.max_bitrate = 32; c.preset = 12; },
         kLameEncAbrRange},
        {"unknown channel mode", [](EngineConfig& c) { c.mode = 4; }, kLameEncSettingsRefused},
        {"VBR quality beyond 9", [](EngineConfig& c) { c.vbr_flag = 1; c.vbr_quality = 10; },
         kLameEncSettingsRefused},
        {"unknown VBR method", [](EngineConfig& c) { c.vbr_flag = 1; c.vbr_method = 9; },
         kLameEncSettingsRefused},
        {"emphasis code 4", [](EngineConfig& c) { c.emphasis = 4; }, kLameEncSettingsRefused},
        // MPEG-2 has no 320 kbps: libmp3lame picks its nearest rate.
        {"bitrate the output rate lacks", [](EngineConfig& c) { c.output_rate = 22050; c.bitrate = 320; },
         kLameEncOk},
    };
    for (const InitCase& test : cases) {
        SCOPED_TRACE(test.why);
        EngineConfig config = kt::default_record();
        test.change(config);
        Stream stream = open_stream(config);
        EXPECT_EQ(stream.result, test.expected);
        if (stream.result == 0) {
            EXPECT_EQ(engine().close_stream(stream.handle), kLameEncOk);
        }
    }
}

TEST(EngineInitStream, NullPointersAreRefused) {
    EngineConfig config = kt::default_record();
    uint32_t chunk = 0, size = 0;
    EngineStream handle = 0;
    EXPECT_EQ(engine().init_stream(nullptr, &chunk, &size, &handle), kLameEncNullArgument);
    EXPECT_EQ(engine().init_stream(&config, nullptr, &size, &handle), kLameEncNullArgument);
    EXPECT_EQ(engine().init_stream(&config, &chunk, nullptr, &handle), kLameEncNullArgument);
    EXPECT_EQ(engine().init_stream(&config, &chunk, &size, nullptr), kLameEncNullArgument);
}

struct ChunkCase {
    const char* why;
    int32_t mode;
    uint32_t input_rate;
    uint32_t output_rate;
    uint32_t samples_per_chunk;
};

// A chunk is 32 MP3 frames at the output rate, counted in input samples: the
// program prints one progress line per chunk, and 32 frames keep the lines
// live yet cheap (README, Performance).
TEST(EngineInitStream, ChunkIsThirtyTwoFramesAndBufferFitsTheWorstCase) {
    const ChunkCase cases[] = {
        {"MPEG-1 stereo: 32 frames of 1152 pairs", 1, 44100, 44100, 32 * 1152 * 2},
        {"mono takes one value per sample", 3, 44100, 44100, 32 * 1152},
        {"MPEG-2 frames hold 576 samples, and half the rate out takes twice as many in", 1, 44100, 22050,
         32 * 576 * 2 * 2},
        {"up-sampling: six times the rate out takes a sixth as many in", 0, 8000, 48000, 32 * 1152 / 6 * 2},
        {"down to MPEG-2.5 at a sixth of the rate: the largest chunk there is", 0, 48000, 8000, 32 * 576 * 6 * 2},
        // 36864 x 44100 / 48000 = 33868.8: a chunk never holds less than its frames.
        {"a rate ratio that leaves a fraction is rounded up", 0, 44100, 48000, 33869 * 2},
    };
    for (const ChunkCase& test : cases) {
        SCOPED_TRACE(test.why);
        EngineConfig config = kt::default_record();
        config.mode = test.mode;
        config.input_rate = test.input_rate;
        config.output_rate = test.output_rate;
        Stream stream = open_stream(config);
        ASSERT_EQ(stream.result, 0u);
        EXPECT_EQ(stream.samples_per_chunk, test.samples_per_chunk);
        double worst = 1.25 * stream.samples_per_chunk * test.output_rate / test.input_rate + 7200;
        EXPECT_GE(stream.output_buffer_size, worst);
        EXPECT_GE(stream.output_buffer_size, 16384u + 128u * 1024u);  // libmp3lame's own maximum
        engine().close_stream(stream.handle);
    }
}

TEST(EngineInitStream, AFullTableIsRefusedAndClosingFreesASlot) {
    std::vector<EngineStream> open;
    Stream stream;
    // Far more than any table the engine keeps; stop at the first refusal.
    while (open.size() < 1000 && (stream = open_stream(kt::default_record())).result == 0)
        open.push_back(stream.handle);
    EXPECT_EQ(stream.result, kLameEncNoFreeStream);
    ASSERT_FALSE(open.empty());
    EXPECT_EQ(engine().close_stream(open.back()), kLameEncOk);
    open.pop_back();
    stream = open_stream(kt::default_record());
    EXPECT_EQ(stream.result, kLameEncOk);
    if (stream.result == 0) open.push_back(stream.handle);
    for (EngineStream handle : open) EXPECT_EQ(engine().close_stream(handle), kLameEncOk);
}

struct BitsCase {
    const char* why;
    std::function<void(EngineConfig&)> change;
    std::function<bool(const kt::FrameHeader&)> holds;
};

// Every audio frame (the first is the tag) carries what the record asked for.
TEST(EngineInitStream, RecordFieldsReachEveryFrame) {
    const BitsCase cases[] = {
        {"defaults: joint stereo 192 kbps, original, nothing else",
         [](EngineConfig&) {},
         [](const kt::FrameHeader& h) {
             return h.channel_mode == 1 && h.bitrate_kbps == 192 && h.original && !h.copyright &&
                    !h.private_bit && !h.crc && h.emphasis == 0 && h.sample_rate == 44100;
         }},
        {"stereo", [](EngineConfig& c) { c.mode = 0; }, [](const kt::FrameHeader& h) { return h.channel_mode == 0; }},
        {"dual channel", [](EngineConfig& c) { c.mode = 2; },
         [](const kt::FrameHeader& h) { return h.channel_mode == 2; }},
        {"mono", [](EngineConfig& c) { c.mode = 3; }, [](const kt::FrameHeader& h) { return h.channel_mode == 3; }},
        {"private bit", [](EngineConfig& c) { c.private_flag = 1; },
         [](const kt::FrameHeader& h) { return h.private_bit && !h.copyright; }},
        {"CRC", [](EngineConfig& c) { c.crc_flag = 1; }, [](const kt::FrameHeader& h) { return h.crc; }},
        {"copyright, not original",
         [](EngineConfig& c) { c.copyright_flag = 1; c.original_flag = 0; },
         [](const kt::FrameHeader& h) { return h.copyright && !h.original; }},
        {"emphasis 50/15 ms", [](EngineConfig& c) { c.emphasis = 1; },
         [](const kt::FrameHeader& h) { return h.emphasis == 1; }},
        {"MPEG-2 has no 320 kbps: its highest, 160",
         [](EngineConfig& c) { c.output_rate = 22050; c.bitrate = 320; },
         [](const kt::FrameHeader& h) { return h.version_id == 2 && h.sample_rate == 22050 && h.bitrate_kbps == 160; }},
    };
    kt::ScratchDir dir;
    kt::write_file(dir.file("in.wav"), kt::wav_file({}, kt::music_samples(22050, 2, 44100)));
    for (const BitsCase& test : cases) {
        SCOPED_TRACE(test.why);
        EngineConfig config = kt::default_record();
        test.change(config);
        ASSERT_EQ(encode_file(config, dir.file("in.wav"), dir.file("out.mp3")).failed, 0u);
        std::vector<kt::FrameHeader> frames = kt::mp3_frames(kt::read_file(dir.file("out.mp3")));
        ASSERT_GT(frames.size(), 10u);
        for (size_t i = 1; i < frames.size(); ++i) ASSERT_TRUE(test.holds(frames[i])) << "frame " << i;
    }
}

// With the reservoir off no frame borrows from earlier ones: main_data_begin,
// the first 9 bits of the side information, is 0 everywhere.
TEST(EngineInitStream, ReservoirOffMeansNoBackPointers) {
    kt::ScratchDir dir;
    kt::write_file(dir.file("in.wav"), kt::wav_file({}, kt::music_samples(44100, 2, 44100)));
    for (uint32_t off : {0u, 1u}) {
        SCOPED_TRACE(off);
        EngineConfig config = kt::default_record();
        config.no_reservoir_flag = off;
        ASSERT_EQ(encode_file(config, dir.file("in.wav"), dir.file("out.mp3")).failed, 0u);
        std::string bytes = kt::read_file(dir.file("out.mp3"));
        int borrowing = 0;
        for (const kt::FrameHeader& h : kt::mp3_frames(bytes)) {
            unsigned begin = (static_cast<uint8_t>(bytes[h.offset + 4]) << 1) |
                             (static_cast<uint8_t>(bytes[h.offset + 5]) >> 7);
            borrowing += begin != 0;
        }
        if (off != 0) {
            EXPECT_EQ(borrowing, 0);
        } else {
            EXPECT_GT(borrowing, 0);  // so the check above can see a reservoir at all
        }
    }
}

// Average bitrate with a maximum close to the average, on upsampled noise:
// libmp3lame could find no frame size within the maximum and aborted the process.
TEST(EngineStreamCalls, AverageBitrateSurvivesAMaximumNearTheAverage) {
    for (uint32_t maximum : {32u, 40u}) {
        SCOPED_TRACE(maximum);
        EngineConfig config = kt::default_record();
        config.input_rate = 16000;
        config.output_rate = 44100;
        config.mode = 0;
        config.abr = 1;
        config.bitrate = 32;
        config.max_bitrate = maximum;
        Stream stream = open_stream(config);
        ASSERT_EQ(stream.result, 0u);
        std::vector<int16_t> noise(stream.samples_per_chunk);
        uint32_t state = 2654435761u + 1;
        for (int16_t& value : noise) {
            state = state * 1664525u + 1013904223u;
            value = static_cast<int16_t>(state >> 16);
        }
        std::vector<uint8_t> encoded(stream.output_buffer_size);
        uint32_t bytes = 0;
        EXPECT_EQ(engine().encode_chunk(stream.handle, stream.samples_per_chunk, noise.data(), encoded.data(), &bytes), 0u);
        EXPECT_EQ(engine().deinit_stream(stream.handle, encoded.data(), &bytes), 0u);
        engine().close_stream(stream.handle);
    }
}

TEST(EngineStreamCalls, UnknownAndClosedHandlesAreRefused) {
    std::vector<int16_t> samples(4608);
    std::vector<uint8_t> out(200000);
    uint32_t bytes = 0;
    Stream first = open_stream(kt::default_record());
    ASSERT_EQ(first.result, 0u);
    ASSERT_EQ(engine().close_stream(first.handle), kLameEncOk);
    // The next stream reuses the freed slot; the old handle must still be dead.
    Stream second = open_stream(kt::default_record());
    ASSERT_EQ(second.result, 0u);
    EXPECT_NE(second.handle, first.handle);
    for (EngineStream handle : {first.handle, 0u, 12345u, 0xFFFFFFFFu, second.handle + 1}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(engine().encode_chunk(handle, 2, samples.data(), out.data(), &bytes), kLameEncBadHandle);
        EXPECT_EQ(engine().deinit_stream(handle, out.data(), &bytes), kLameEncBadHandle);
        EXPECT_EQ(engine().close_stream(handle), kLameEncBadHandle);
    }
    EXPECT_EQ(engine().close_stream(second.handle), kLameEncOk);
    EXPECT_EQ(engine().close_stream(second.handle), kLameEncBadHandle);
}

TEST(EngineStreamCalls, CountsOutsideOneToChunkAreRefused) {
    Stream stream = open_stream(kt::default_record());
    ASSERT_EQ(stream.result, 0u);
    std::vector<int16_t> samples(stream.samples_per_chunk + 1);
    std::vector<uint8_t> out(stream.output_buffer_size);
    uint32_t bytes = 0;
    EngineStream h = stream.handle;
    EXPECT_EQ(engine().encode_chunk(h, 0, samples.data(), out.data(), &bytes), kLameEncBadCount);
    EXPECT_EQ(engine().encode_chunk(h, stream.samples_per_chunk + 1, samples.data(), out.data(), &bytes),
              kLameEncBadCount);
    EXPECT_EQ(engine().encode_chunk(h, 2, nullptr, out.data(), &bytes), kLameEncNullArgument);
    EXPECT_EQ(engine().encode_chunk(h, 2, samples.data(), nullptr, &bytes), kLameEncNullArgument);
    EXPECT_EQ(engine().encode_chunk(h, 2, samples.data(), out.data(), nullptr), kLameEncNullArgument);
    EXPECT_EQ(engine().encode_chunk(h, stream.samples_per_chunk, samples.data(), out.data(), &bytes), kLameEncOk);
    EXPECT_EQ(engine().encode_chunk(h, 1, samples.data(), out.data(), &bytes), kLameEncOk);
    EXPECT_EQ(engine().deinit_stream(h, nullptr, &bytes), kLameEncNullArgument);
    EXPECT_EQ(engine().deinit_stream(h, out.data(), &bytes), kLameEncOk);
    // A flushed stream takes no more samples and no second flush.
    EXPECT_EQ(engine().encode_chunk(h, 2, samples.data(), out.data(), &bytes), kLameEncStreamFlushed);
    EXPECT_EQ(engine().deinit_stream(h, out.data(), &bytes), kLameEncStreamFlushed);
    EXPECT_EQ(engine().close_stream(h), kLameEncOk);
}

struct PeerCase {
    const char* why;
    std::function<void(EngineConfig&)> change;
    uint16_t channels;
    const char* lame_switches;
    const char* tag;
};

// A few seconds of music through our engine and through `lame`: the same bytes,
// and a decoded length equal to the input's.
TEST(EnginePeer, SameBytesAsLameCommandLine) {
    const PeerCase cases[] = {
        {"the program's defaults", [](EngineConfig&) {}, 2, "-b 192 -m j", "Info"},
        {"VBR quality 2 from 32 to 256 kbps",
         [](EngineConfig& c) { c.vbr_flag = 1; c.vbr_quality = 2; c.bitrate = 32; c.max_bitrate = 256; }, 2,
         "-V 2 -b 32 -B 256 -m j", "Xing"},
        {"mono, through the one-channel call", [](EngineConfig& c) { c.mode = 3; }, 1, "-b 192 -m m", "Info"},
        // Its last frame is mid/side, so the final tag's mode extension differs
        // from the reserved frame's; the tag must be written all the same.
        {"average bitrate", [](EngineConfig& c) { c.abr = 1; c.bitrate = 128; }, 2, "--abr 128 -m j", "Xing"},
    };
    kt::ScratchDir dir;
    for (const PeerCase& test : cases) {
        SCOPED_TRACE(test.why);
        const uint32_t frames = 44100 * 4 + 777;  // no whole number of MP3 frames
        std::string wav = dir.file("in.wav");
        kt::write_file(wav, kt::wav_file({1, test.channels, 44100, 16},
                                         kt::music_samples(frames, test.channels, 44100)));
        EngineConfig config = kt::default_record();
        test.change(config);
        EncodeOutcome outcome = encode_file(config, wav, dir.file("ours.mp3"));
        ASSERT_EQ(outcome.failed, 0u);
        EXPECT_EQ(outcome.vbr_header, kLameEncOk);
        std::string command = std::string("lame --quiet --noreplaygain ") + test.lame_switches + " " + wav +
                              " " + dir.file("lame.mp3");
        ASSERT_EQ(kt::shell(command), 0);
        std::string ours = kt::read_file(dir.file("ours.mp3"));
        std::string theirs = kt::read_file(dir.file("lame.mp3"));
        EXPECT_EQ(ours.size(), theirs.size());
        EXPECT_TRUE(ours == theirs) << "bytes differ";
        EXPECT_EQ(tag_name(ours), test.tag);
        kt::DecodedAudio decoded = kt::decode_mp3(dir.file("ours.mp3"));
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.channels, test.channels);
        EXPECT_EQ(decoded.samples.size(), static_cast<size_t>(frames) * test.channels);
    }
}

struct CutCase {
    const char* why;
    int32_t mode;
    uint16_t channels;
    const char* lame_switches;
    std::vector<uint32_t> counts;  // the chunks' sample counts in turn; 0 is a full chunk
};

// The program hands over full chunks, but the engine takes any count up to a
// chunk, and libmp3lame's bytes must not depend on where the calls cut the
// samples: the same bytes as `lame` however they come.
TEST(EnginePeer, SameBytesHoweverTheSamplesAreCut) {
    const CutCase cases[] = {
        {"one MP3 frame of samples per call", 1, 2, "-b 192 -m j", {2304}},
        {"counts that split frames, a lone pair, and one above two frames", 1, 2, "-b 192 -m j", {1000, 2, 4610}},
        {"a full chunk and a small one in turn", 1, 2, "-b 192 -m j", {0, 6}},
        {"mono, through the one-channel call, in odd counts", 3, 1, "-b 192 -m m", {999, 1, 0}},
    };
    kt::ScratchDir dir;
    for (const CutCase& test : cases) {
        SCOPED_TRACE(test.why);
        std::string wav = dir.file("in.wav");
        kt::write_file(wav, kt::wav_file({1, test.channels, 44100, 16},
                                         kt::music_samples(44100 * 4 + 777, test.channels, 44100)));
        EngineConfig config = kt::default_record();
        config.mode = test.mode;
        ASSERT_EQ(encode_file(config, wav, dir.file("ours.mp3"), true, test.counts).failed, 0u);
        ASSERT_EQ(kt::shell(std::string("lame --quiet --noreplaygain ") + test.lame_switches + " " + wav + " " +
                            dir.file("lame.mp3")),
                  0);
        EXPECT_TRUE(kt::read_file(dir.file("ours.mp3")) == kt::read_file(dir.file("lame.mp3"))) << "bytes differ";
    }
}

TEST(EngineStreamCalls, OddLastValueIsPaddedNotLost) {
    kt::ScratchDir dir;
    const uint32_t frames = 44100;
    // One value more than whole stereo frames: its partner is missing.
    std::string data = kt::music_samples(frames + 1, 2, 44100).substr(0, (frames * 2 + 1) * 2);
    kt::write_file(dir.file("in.wav"), kt::wav_file({}, data));
    EncodeOutcome outcome = encode_file(kt::default_record(), dir.file("in.wav"), dir.file("out.mp3"));
    ASSERT_EQ(outcome.failed, 0u);
    kt::DecodedAudio decoded = kt::decode_mp3(dir.file("out.mp3"));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.samples.size(), (frames + 1) * 2u);
}

std::string file_or_missing(const std::string& path) {
    return kt::file_exists(path) ? kt::read_file(path) : "(missing)";
}

struct HeaderCase {
    const char* why;
    std::string name;
    EngineResult expected;
};

// The tag kept is the one of the most recently flushed stream: it goes only
// into a file whose first frame is that stream's reserved frame.
TEST(EngineVbrHeader, WritesOnlyIntoTheMatchingReservedFrame) {
    kt::ScratchDir dir;
    kt::write_file(dir.file("in.wav"), kt::wav_file({}, kt::music_samples(44100, 2, 44100)));
    EngineConfig at128 = kt::default_record();
    at128.bitrate = 128;
    ASSERT_EQ(encode_file(at128, dir.file("in.wav"), dir.file("other.mp3")).vbr_header, kLameEncOk);
    ASSERT_EQ(encode_file(kt::default_record(), dir.file("in.wav"), dir.file("out.mp3"), false).failed, 0u);
    std::string untagged = kt::read_file(dir.file("out.mp3"));
    std::vector<kt::FrameHeader> frames = kt::mp3_frames(untagged);
    ASSERT_GT(frames.size(), 2u);
    kt::write_file(dir.file("short.mp3"), untagged.substr(0, frames[0].length - 1));
    kt::write_file(dir.file("tiny.mp3"), untagged.substr(0, 3));
    mkdir(dir.file("folder.mp3").c_str(), 0700);

    const HeaderCase cases[] = {
        {"another stream's file: its header is a 128 kbps frame", dir.file("other.mp3"), kLameEncHeaderMismatch},
        {"no such file", dir.file("missing.mp3"), kLameEncFileOpen},
        {"a folder", dir.file("folder.mp3"), kLameEncFileOpen},
        {"the right header, but the frame cut short", dir.file("short.mp3"), kLameEncFileTooShort},
        {"less than a header", dir.file("tiny.mp3"), kLameEncFileTooShort},
    };
    for (const HeaderCase& test : cases) {
        SCOPED_TRACE(test.why);
        std::string before = file_or_missing(test.name);
        EXPECT_EQ(engine().write_vbr_header(test.name.c_str()), test.expected);
        EXPECT_EQ(file_or_missing(test.name), before);
    }
    EXPECT_EQ(engine().write_vbr_header(nullptr), kLameEncNullArgument);

    // The stream's own file: the first frame becomes the tag, nothing else changes.
    ASSERT_EQ(engine().write_vbr_header(dir.file("out.mp3").c_str()), kLameEncOk);
    std::string tagged = kt::read_file(dir.file("out.mp3"));
    ASSERT_EQ(tagged.size(), untagged.size());
    EXPECT_EQ(tagged.substr(frames[0].length), untagged.substr(frames[0].length));
    EXPECT_EQ(tagged.substr(0, 2), untagged.substr(0, 2));
    EXPECT_EQ(tag_name(tagged), "Info");
    EXPECT_EQ(untagged.substr(4, frames[0].length - 4), std::string(frames[0].length - 4, '\0'));
}

// 32 kbps at 48 kHz makes 96-byte frames, too small for a LAME tag: libmp3lame
// reserves no frame, and the tag of an earlier stream must not be written.
TEST(EngineVbrHeader, NoTagAtLowBitrateLeavesEveryFileAlone) {
    kt::ScratchDir dir;
    kt::write_file(dir.file("in.wav"), kt::wav_file({1, 2, 48000, 16}, kt::music_samples(48000, 2, 48000)));
    EngineConfig tagged = kt::default_record();
    tagged.input_rate = tagged.output_rate = 48000;
    ASSERT_EQ(encode_file(tagged, dir.file("in.wav"), dir.file("tagged.mp3")).vbr_header, kLameEncOk);
    EngineConfig low = tagged;
    low.bitrate = 32;
    ASSERT_EQ(encode_file(low, dir.file("in.wav"), dir.file("low.mp3"), false).failed, 0u);
    for (const char* name : {"low.mp3", "tagged.mp3"}) {
        SCOPED_TRACE(name);
        std::string before = kt::read_file(dir.file(name));
        EXPECT_EQ(engine().write_vbr_header(dir.file(name).c_str()), kLameEncNoTag);
        EXPECT_EQ(kt::read_file(dir.file(name)), before);
    }
    EXPECT_EQ(tag_name(kt::read_file(dir.file("low.mp3"))), "");
}

// Whatever libmp3lame has to say, and whatever goes wrong, the engine is silent.
TEST(EngineOutput, PrintsNothing) {
    kt::ScratchDir dir;
    kt::write_file(dir.file("in.wav"), kt::wav_file({}, kt::music_samples(20000, 2, 44100)));
    std::fflush(stdout);
    std::fflush(stderr);
    int saved_out = dup(1);
    int saved_err = dup(2);
    int sink = open(dir.file("printed.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(sink, 1);
    dup2(sink, 2);
    EngineConfig refused = kt::default_record();
    refused.output_rate = 12345;
    EngineConfig resampled = kt::default_record();
    resampled.output_rate = 8000;
    resampled.bitrate = 320;
    EngineConfig dual = kt::default_record();
    dual.mode = 2;
    dual.crc_flag = dual.no_reservoir_flag = dual.strict_iso_flag = 1;
    EncodeOutcome results[] = {
        encode_file(refused, dir.file("in.wav"), dir.file("a.mp3")),
        encode_file(resampled, dir.file("in.wav"), dir.file("b.mp3")),
        encode_file(dual, dir.file("in.wav"), dir.file("c.mp3")),
    };
    engine().write_vbr_header(dir.file("missing.mp3").c_str());
    engine().close_stream(0);
    dup2(saved_out, 1);
    dup2(saved_err, 2);
    close(saved_out);
    close(saved_err);
    close(sink);
    EXPECT_EQ(results[0].failed, kLameEncSettingsRefused);
    EXPECT_EQ(results[1].failed, 0u);
    EXPECT_EQ(results[2].failed, 0u);
    EXPECT_EQ(kt::read_file(dir.file("printed.txt")), "");
}

}  // namespace
