#include "decisions/wav_header.h"

#include <cstring>

namespace {

// Progress counts as if the samples stood behind a canonical 44-byte header.
constexpr uint64_t kCanonicalHeaderBytes = 44;

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kPlainFormatSize = 16;
constexpr std::size_t kExtensibleFormatSize = kFormatBytesRead;
constexpr std::size_t kSubformatOffset = 24;
const unsigned char kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint32_t little_endian(const unsigned char* bytes, std::size_t width) {
    uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

uint64_t padded(uint32_t size) { return uint64_t{size} + (size & 1); }

constexpr ChunkStep kStop = {ChunkAction::stop, 0, 0, 0};

ChunkStep skip(uint64_t bytes) { return {ChunkAction::skip, bytes, 0, 0}; }

}  // namespace

bool is_riff_wave(const unsigned char (&header)[kRiffHeaderBytes]) {
    return std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0;
}

ChunkStep next_chunk_step(const unsigned char (&header)[kChunkHeaderBytes], uint64_t body_offset,
                          uint64_t file_size, WavProbe& probe) {
    const uint32_t size = little_endian(header + 4, 4);
    if (std::memcmp(header, "data", 4) == 0 && !probe.data_found) {
        probe.data_found = 1;
        probe.sample_offset = body_offset;
        probe.sample_bytes = data_chunk_bytes(size, body_offset, file_size);
        // Samples of no stated length leave no end to look past for the format,
        // and a pipe cannot come back to them.
        if (probe.format_found || probe.sample_bytes != size || !probe.seekable) return kStop;
        return skip(padded(size));
    }
    if (std::memcmp(header, "fmt ", 4) == 0 && !probe.format_found) {
        std::size_t wanted = size < kExtensibleFormatSize ? size : kExtensibleFormatSize;
        return {ChunkAction::read_format, 0, wanted, size};
    }
    return skip(padded(size));
}

ChunkStep take_format_chunk(const unsigned char* body, std::size_t read, uint32_t chunk_size, WavProbe& probe) {
    WavFormat format;
    if (!parse_format_chunk(body, chunk_size, format)) return kStop;
    probe.format_found = 1;
    probe.pcm_flag = format.pcm;
    probe.channels = format.channels;
    probe.sample_rate = format.sample_rate;
    probe.bits_per_sample = format.bits_per_sample;
    if (probe.data_found) return kStop;
    return skip(padded(chunk_size) - read);
}

void finish_probe(uint64_t file_size, bool raw_input, WavProbe& probe) {
    if (!raw_input) {
        probe.input_size = probe.sample_bytes == kUnknownSize ? kUnknownSize : kCanonicalHeaderBytes + probe.sample_bytes;
        return;
    }
    // Headerless data says nothing of its channels: the mode switches do.
    if (!probe.format_found) probe.channels = 0;
    probe.sample_offset = kRawSkippedBytes;
    probe.sample_bytes = file_size == kUnknownSize ? kUnknownSize
                         : file_size > kRawSkippedBytes ? file_size - kRawSkippedBytes
                                                        : 0;
    probe.input_size = file_size;
}

bool parse_format_chunk(const unsigned char* body, std::size_t size, WavFormat& format) {
    if (size < kPlainFormatSize) return false;
    const uint32_t tag = little_endian(body, 2);
    format.channels = little_endian(body + 2, 2);
    format.sample_rate = little_endian(body + 4, 4);
    format.bits_per_sample = little_endian(body + 14, 2);
    format.pcm = tag == kFormatPcm;
    if (tag == kFormatExtensible) {
        format.pcm = size >= kExtensibleFormatSize &&
                     std::memcmp(body + kSubformatOffset, kPcmSubformat, sizeof kPcmSubformat) == 0;
    }
    return true;
}

uint64_t data_chunk_bytes(uint32_t stated, uint64_t data_offset, uint64_t file_size) {
    const bool stated_nothing = stated == 0 || stated == UINT32_MAX;
    if (file_size == kUnknownSize) return stated_nothing ? kUnknownSize : stated;
    const uint64_t available = file_size > data_offset ? file_size - data_offset : 0;
    if (stated_nothing || stated > available) return available;
    return stated;
}

uint32_t detected_rate(const WavProbe& probe) {
    static const uint32_t kSupportedRates[] = {32000, 44100, 48000};
    for (uint32_t rate : kSupportedRates)
        if (probe.format_found && probe.sample_rate == rate) return rate;
    return 0;
}

ProbeVerdict judge_wav_probe(const WavProbe& probe, bool raw_input) {
    // Raw input has no header to judge: the switches say what it holds.
    if (raw_input) return ProbeVerdict::accepted;
    if (!probe.riff_wave || !probe.format_found || !probe.data_found || probe.pcm_flag == 0)
        return ProbeVerdict::not_pcm;
    if (probe.channels != 1 && probe.channels != 2) return ProbeVerdict::bad_channel_count;
    if (detected_rate(probe) == 0) return ProbeVerdict::unsupported_rate;
    if (probe.bits_per_sample != 16) return ProbeVerdict::not_16_bit;
    return ProbeVerdict::accepted;
}
