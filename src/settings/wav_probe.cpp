#include "settings/wav_probe.h"

#include <cstring>

#include "console/console.h"
#include "frontend/command_text.h"

namespace {

// Raw input keeps its first 44 bytes out of the encoding, header or not.
constexpr uint64_t kRawSkippedBytes = 44;
// Progress counts as if the samples stood behind a canonical 44-byte header.
constexpr uint64_t kCanonicalHeaderBytes = 44;

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kPlainFormatSize = 16;
constexpr std::size_t kExtensibleFormatSize = 40;
constexpr std::size_t kSubformatOffset = 24;
const unsigned char kPcmSubformat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint32_t little_endian(const unsigned char* bytes, std::size_t width) {
    uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

// The input read forward from its start, never past `limit`, so the header of
// raw input is looked for in its first 44 bytes only.
struct HeaderReader {
    std::FILE* file;
    uint64_t limit;
    uint64_t position;

    bool read(unsigned char* into, std::size_t size) {
        if (size > limit - position) return false;
        std::size_t got = std::fread(into, 1, size, file);
        position += got;
        return got == size;
    }

    bool skip(uint64_t size) {
        if (size > limit - position) return false;
        if (size <= static_cast<uint64_t>(INT64_MAX) && fseeko(file, static_cast<off_t>(size), SEEK_CUR) == 0) {
            position += size;
            return true;
        }
        unsigned char discard[4096];  // a stream that cannot seek is read past
        while (size > 0) {
            std::size_t piece = size < sizeof discard ? static_cast<std::size_t>(size) : sizeof discard;
            if (!read(discard, piece)) return false;
            size -= piece;
        }
        return true;
    }
};

// Walks the chunks after the 12-byte RIFF/WAVE header until both `fmt ` and
// `data` are found; the file is left where the samples begin when `data` comes last.
void walk_chunks(HeaderReader& reader, uint64_t file_size, WavProbe& probe) {
    for (;;) {
        unsigned char header[8];
        if (!reader.read(header, sizeof header)) return;
        const uint32_t size = little_endian(header + 4, 4);
        const uint64_t padded = uint64_t{size} + (size & 1);
        if (std::memcmp(header, "data", 4) == 0 && !probe.data_found) {
            probe.data_found = 1;
            probe.sample_offset = reader.position;
            probe.sample_bytes = data_chunk_bytes(size, reader.position, file_size);
            // A length that says nothing leaves no end to look past for the format.
            if (probe.format_found || probe.sample_bytes != size) return;
            if (!reader.skip(padded)) return;
        } else if (std::memcmp(header, "fmt ", 4) == 0 && !probe.format_found) {
            unsigned char body[kExtensibleFormatSize] = {};
            std::size_t wanted = size < sizeof body ? size : sizeof body;
            if (!reader.read(body, wanted)) return;
            WavFormat format;
            if (!parse_format_chunk(body, size, format)) return;
            probe.format_found = 1;
            probe.pcm_flag = format.pcm;
            probe.channels = format.channels;
            probe.sample_rate = format.sample_rate;
            probe.bits_per_sample = format.bits_per_sample;
            if (probe.data_found) return;
            if (!reader.skip(padded - wanted)) return;
        } else if (!reader.skip(padded)) {
            return;
        }
    }
}

}  // namespace

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
    const uint64_t available = file_size > data_offset ? file_size - data_offset : 0;
    if (stated == 0 || stated == UINT32_MAX || stated > available) return available;
    return stated;
}

WavProbe read_wav_header(std::FILE* input, uint64_t file_size, bool raw_input) {
    WavProbe probe{};
    HeaderReader reader{input, raw_input ? kRawSkippedBytes : UINT64_MAX, 0};
    unsigned char riff[12];
    if (std::fseek(input, 0, SEEK_SET) == 0 && reader.read(riff, sizeof riff) &&
        std::memcmp(riff, "RIFF", 4) == 0 && std::memcmp(riff + 8, "WAVE", 4) == 0) {
        probe.riff_wave = 1;
        walk_chunks(reader, file_size, probe);
    }
    if (raw_input) {
        // Headerless data says nothing of its channels: the mode switches do.
        if (!probe.format_found) probe.channels = 0;
        probe.sample_offset = kRawSkippedBytes;
        probe.sample_bytes = file_size > kRawSkippedBytes ? file_size - kRawSkippedBytes : 0;
        probe.input_size = file_size;
    } else {
        probe.input_size = kCanonicalHeaderBytes + probe.sample_bytes;
    }
    return probe;
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

bool probe_wav_header(std::FILE* input, uint64_t file_size, const CommandText& command_text, WavProbe& probe) {
    const bool raw_input = raw_input_requested(command_text);
    probe = read_wav_header(input, file_size, raw_input);
    switch (judge_wav_probe(probe, raw_input)) {
        case ProbeVerdict::accepted:
            return true;
        case ProbeVerdict::not_pcm:
            std::fputs("  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n", stdout);
            break;
        case ProbeVerdict::bad_channel_count:
            std::printf("  Input file has %u channels; only 1 or 2 are supported.\n",
                        static_cast<unsigned>(probe.channels));
            break;
        case ProbeVerdict::unsupported_rate:
            std::printf("  Input sample rate of %u Hz is not supported (32000/44100/48000 only).\n",
                        static_cast<unsigned>(probe.sample_rate));
            break;
        case ProbeVerdict::not_16_bit:
            std::printf("  Input file is not 16-bit PCM (%u bits per sample).\n",
                        static_cast<unsigned>(probe.bits_per_sample));
            break;
    }
    if (!switch_present(command_text, "-GUI")) {
        std::fputs("  Press Enter to Exit...", stdout);
        std::fflush(stdout);
        wait_for_enter();
    }
    return false;
}
