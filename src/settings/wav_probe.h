// The WAV header probe: what the fixed header positions of the input say.
#pragma once

#include <cstdint>
#include <cstdio>

struct CommandText;

struct WavProbe {
    int pcm_flag;          // 1 when byte 20 is 1
    int channel_byte;      // byte 22, or -1 past the end of the file
    int rate_byte;         // byte 24, or -1 past the end of the file
    int header_complete;   // 1 when the file holds all 44 header bytes
    uint32_t sample_rate;  // bytes 24..27, little-endian (0 when header incomplete)
    uint32_t bits_per_sample;  // bytes 34..35, little-endian (0 when header incomplete)
};

enum class ProbeVerdict {
    accepted,
    not_pcm,
    unsupported_rate,
    not_16_bit,
};

// Reads the header bytes. Leaves the file position where reading stopped.
WavProbe read_wav_header(std::FILE* input);

// Decides whether the input can be encoded; `raw_input` is the "-r" switch.
ProbeVerdict judge_wav_probe(const WavProbe& probe, bool raw_input);

// 32000, 44100 or 48000 when the header's rate field says exactly that, else 0.
uint32_t detected_rate(const WavProbe& probe);

// Reads and judges the header; a refusal is printed (with the Enter prompt
// unless "-GUI") and false returned.
bool probe_wav_header(std::FILE* input, const CommandText& command_text, WavProbe& probe);
