// The WAV header read as RIFF, on files made here from a few bytes, and the
// pure pieces the probe is built from. The layouts real tools write are
// compared with LAME's own encoder end to end; these are the edges.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "decisions/sample_layout.h"
#include "decisions/wav_header.h"
#include "stages/wav_reader.h"

namespace {

std::string le16(uint32_t value) { return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8 & 0xFF)}; }
std::string le32(uint32_t value) { return le16(value & 0xFFFF) + le16(value >> 16); }

std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(static_cast<uint32_t>(body.size())) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}

std::string format_body(uint32_t tag, uint32_t channels, uint32_t rate = 44100) {
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * channels * 2) + le16(channels * 2) + le16(16);
}

std::string riff(const std::string& chunks) { return "RIFF" + le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks; }

const std::string kPcmGuid("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
const std::string kFloatGuid("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);

std::string extensible_body(const std::string& guid) {
    return format_body(0xFFFE, 2) + le16(22) + le16(16) + le32(3) + guid;
}

WavProbe probe_bytes(const std::string& bytes, bool raw_input = false) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
    WavProbe probe = read_wav_header(file, bytes.size(), raw_input);
    std::fclose(file);
    return probe;
}

TEST(FormatChunk, TellsPcmFromEveryOtherFormat) {
    struct Case {
        std::string body;
        bool parsed;
        int pcm;
        const char* why;
    } cases[] = {
        {format_body(1, 2), true, 1, "the plain 16-byte PCM form"},
        {format_body(1, 2) + le16(0), true, 1, "the 18-byte form with an empty extension"},
        {extensible_body(kPcmGuid), true, 1, "EXTENSIBLE whose subformat is PCM"},
        {extensible_body(kFloatGuid), true, 0, "EXTENSIBLE holding floating-point samples"},
        {format_body(0xFFFE, 2), true, 0, "EXTENSIBLE too short to hold its subformat"},
        {format_body(3, 2), true, 0, "the floating-point tag"},
        {format_body(0x0101, 2), true, 0, "a tag whose low byte alone would say PCM"},
        {format_body(1, 2).substr(0, 14), false, 0, "a body too short to hold the sample size"},
    };
    for (const Case& c : cases) {
        WavFormat format{};
        EXPECT_EQ(parse_format_chunk(reinterpret_cast<const unsigned char*>(c.body.data()), c.body.size(), format),
                  c.parsed)
            << c.why;
        if (c.parsed) {
            EXPECT_EQ(format.pcm, c.pcm) << c.why;
        }
    }
}

TEST(DataChunk, StatedLengthOrTheRestOfTheFile) {
    struct Case {
        uint32_t stated;
        uint64_t offset;
        uint64_t file_size;
        uint64_t bytes;
        const char* why;
    } cases[] = {
        {1000, 44, 2000, 1000, "the stated length, with chunks after it"},
        {1956, 44, 2000, 1956, "exactly to the end"},
        {0, 44, 2000, 1956, "0: a recording whose header was never finished"},
        {0xFFFFFFFF, 44, 2000, 1956, "0xFFFFFFFF: a stream written into a pipe"},
        {5000, 44, 2000, 1956, "a length past the end: a crashed recording"},
        {5000, 44, 6ull << 30, 5000, "lengths are counted in 64 bits against the file"},
        {100, 60, 50, 0, "a data chunk behind the end holds nothing"},
    };
    for (const Case& c : cases) EXPECT_EQ(data_chunk_bytes(c.stated, c.offset, c.file_size), c.bytes) << c.why;
}

TEST(WavProbe, FindsTheChunksWhereverTheyStand) {
    const std::string samples(400, '\x11');
    struct Case {
        std::string file;
        bool raw;
        ProbeVerdict verdict;
        uint64_t sample_offset;  // checked when accepted
        uint64_t sample_bytes;
        uint32_t channels;
        const char* why;
    } cases[] = {
        {riff(chunk("fmt ", format_body(1, 2)) + chunk("data", samples)), false, ProbeVerdict::accepted, 44, 400, 2,
         "the canonical layout"},
        {riff(chunk("data", samples) + chunk("fmt ", format_body(1, 1))), false, ProbeVerdict::accepted, 20, 400, 1,
         "the format after the samples"},
        {riff(chunk("fmt ", format_body(1, 2) + "x") + chunk("data", samples)), false, ProbeVerdict::accepted, 46,
         400, 2, "an odd-sized format chunk with its pad byte"},
        {riff(chunk("LIST", "INFO") + chunk("fmt ", format_body(1, 2)) + "data" + le32(0xFFFFFFFF) + samples), false,
         ProbeVerdict::accepted, 56, 400, 2, "a streamed length runs to the end"},
        {riff("data" + le32(0xFFFFFFFF) + samples + chunk("fmt ", format_body(1, 2))), false, ProbeVerdict::not_pcm,
         0, 0, 0, "samples of no known length: a format behind them cannot be found"},
        {riff(chunk("fmt ", format_body(1, 2)) + "JUNK" + le32(5000) + samples), false, ProbeVerdict::not_pcm, 0, 0,
         0, "a chunk that runs past the end before the samples"},
        {riff(chunk("fmt ", format_body(1, 2))), false, ProbeVerdict::not_pcm, 0, 0, 0, "no data chunk"},
        {riff(chunk("data", samples)), false, ProbeVerdict::not_pcm, 0, 0, 0, "no format chunk"},
        {"RIFX" + riff(chunk("fmt ", format_body(1, 2)) + chunk("data", samples)).substr(4), false,
         ProbeVerdict::not_pcm, 0, 0, 0, "not RIFF"},
        {riff(chunk("fmt ", format_body(1, 6)) + chunk("data", samples)), false, ProbeVerdict::bad_channel_count, 0,
         0, 0, "six channels"},
        {riff(chunk("fmt ", format_body(1, 257)) + chunk("data", samples)), false, ProbeVerdict::bad_channel_count,
         0, 0, 0, "257 channels, whose low byte alone would say one"},
        {riff(chunk("fmt ", format_body(1, 2, 22050)) + chunk("data", samples)), false,
         ProbeVerdict::unsupported_rate, 0, 0, 0, "22.05 kHz"},
        {riff(chunk("fmt ", format_body(1, 1)) + chunk("data", samples)), true, ProbeVerdict::accepted, 44, 400, 1,
         "raw input that begins with a WAV header takes its channel count"},
        {std::string(22, '\0') + "\x01" + std::string(500, '\0'), true, ProbeVerdict::accepted, 44, 479, 0,
         "headerless raw data says nothing of its channels, whatever byte 22 holds"},
        {std::string(10, '\0'), true, ProbeVerdict::accepted, 44, 0, 0, "raw input shorter than the skipped bytes"},
    };
    for (const Case& c : cases) {
        WavProbe probe = probe_bytes(c.file, c.raw);
        EXPECT_EQ(judge_wav_probe(probe, c.raw), c.verdict) << c.why;
        if (c.verdict != ProbeVerdict::accepted) continue;
        EXPECT_EQ(probe.sample_offset, c.sample_offset) << c.why;
        EXPECT_EQ(probe.sample_bytes, c.sample_bytes) << c.why;
        EXPECT_EQ(probe.channels, c.channels) << c.why;
        // Progress counts as if the samples stood behind a canonical header; raw input counts the whole file.
        EXPECT_EQ(probe.input_size, c.raw ? c.file.size() : 44 + c.sample_bytes) << c.why;
    }
}

TEST(ChannelConversion, KeepsTheLengthWhateverTheMode) {
    struct Case {
        uint32_t file_channels;
        uint32_t engine_channels;
        std::vector<int16_t> in;
        std::vector<int16_t> out;
        const char* why;
    } cases[] = {
        {2, 1, {100, 201, -100, -201, 32767, 32767, -32768, -32768}, {151, -151, 32767, -32768},
         "the mean of left and right, halves away from zero, full scale kept"},
        {2, 1, {10, 20, 30}, {15}, "a left value without its right is dropped"},
        {1, 2, {1, -2, 3}, {1, 1, -2, -2, 3, 3}, "each mono sample to both channels"},
        {2, 2, {1, 2, 3}, {1, 2, 3}, "the same channels: untouched"},
        {1, 1, {7}, {7}, "mono to mono: untouched"},
    };
    for (const Case& c : cases) {
        ChannelConversion conversion = channel_conversion(c.file_channels, c.engine_channels);
        std::vector<int16_t> buffer = c.in;
        buffer.resize(2 * c.in.size());
        std::size_t count = convert_channels(conversion, buffer.data(), c.in.size());
        buffer.resize(count);
        EXPECT_EQ(buffer, c.out) << c.why;
    }
    EXPECT_EQ(file_values_per_chunk(ChannelConversion::mix_to_mono, 1152), 2304u) << "a mono chunk takes stereo pairs";
    EXPECT_EQ(file_values_per_chunk(ChannelConversion::mono_to_both, 2304), 1152u) << "a stereo chunk takes mono values";
}

}  // namespace
