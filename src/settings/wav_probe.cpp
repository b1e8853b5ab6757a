#include "settings/wav_probe.h"

#include <cstdio>

#include "console/console.h"
#include "frontend/command_text.h"

namespace {

constexpr std::size_t kHeaderSize = 44;

int byte_at(const unsigned char* header, std::size_t got, std::size_t offset) {
    return offset < got ? header[offset] : -1;
}

}  // namespace

WavProbe read_wav_header(std::FILE* input) {
    unsigned char header[kHeaderSize] = {};
    std::size_t got = 0;
    if (std::fseek(input, 0, SEEK_SET) == 0) got = std::fread(header, 1, kHeaderSize, input);
    WavProbe probe{};
    probe.pcm_flag = byte_at(header, got, 20) == 1 ? 1 : 0;
    probe.channel_byte = byte_at(header, got, 22);
    probe.rate_byte = byte_at(header, got, 24);
    probe.header_complete = got == kHeaderSize ? 1 : 0;
    if (probe.header_complete) {
        probe.sample_rate = static_cast<uint32_t>(header[24]) | static_cast<uint32_t>(header[25]) << 8 |
                            static_cast<uint32_t>(header[26]) << 16 | static_cast<uint32_t>(header[27]) << 24;
        probe.bits_per_sample = static_cast<uint32_t>(header[34]) | static_cast<uint32_t>(header[35]) << 8;
    }
    return probe;
}

uint32_t detected_rate(const WavProbe& probe) {
    static const uint32_t kSupportedRates[] = {32000, 44100, 48000};
    for (uint32_t rate : kSupportedRates)
        if (probe.header_complete && probe.sample_rate == rate) return rate;
    return 0;
}

ProbeVerdict judge_wav_probe(const WavProbe& probe, bool raw_input) {
    // Raw input has no header to judge: the switches say what it holds.
    if (raw_input) return ProbeVerdict::accepted;
    if (probe.pcm_flag == 0 || !probe.header_complete) return ProbeVerdict::not_pcm;
    if (detected_rate(probe) == 0) return ProbeVerdict::unsupported_rate;
    if (probe.bits_per_sample != 16) return ProbeVerdict::not_16_bit;
    return ProbeVerdict::accepted;
}

bool probe_wav_header(std::FILE* input, const CommandText& command_text, WavProbe& probe) {
    probe = read_wav_header(input);
    switch (judge_wav_probe(probe, switch_present(command_text, "-r"))) {
        case ProbeVerdict::accepted:
            return true;
        case ProbeVerdict::not_pcm:
            std::fputs("  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n", stdout);
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
