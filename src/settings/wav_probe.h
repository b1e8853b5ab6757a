// The WAV header probe: the input read as RIFF, its `fmt ` and `data` chunks
// found wherever they stand, every other chunk skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct CommandText;

struct WavProbe {
    int riff_wave;             // 1 when the file begins with a RIFF/WAVE header
    int format_found;          // 1 when a whole `fmt ` chunk was read
    int pcm_flag;              // format tag 1, or EXTENSIBLE with the PCM subformat
    uint32_t channels;         // the `fmt ` chunk's channel count; 0 says nothing
    uint32_t sample_rate;
    uint32_t bits_per_sample;
    int data_found;            // 1 when the `data` chunk was found
    uint64_t sample_offset;    // where the samples begin in the file
    uint64_t sample_bytes;     // how many bytes of samples to encode
    uint64_t input_size;       // what progress and the size estimate count against
};

// What the `fmt ` chunk's body says; pure.
struct WavFormat {
    int pcm;
    uint32_t channels;
    uint32_t sample_rate;
    uint32_t bits_per_sample;
};
bool parse_format_chunk(const unsigned char* body, std::size_t size, WavFormat& format);

// The samples the `data` chunk holds: its stated length, or the rest of the
// file when the length is 0, 0xFFFFFFFF (a streamed or unfinished recording)
// or runs past the end; pure.
uint64_t data_chunk_bytes(uint32_t stated, uint64_t data_offset, uint64_t file_size);

enum class ProbeVerdict {
    accepted,
    not_pcm,
    bad_channel_count,
    unsupported_rate,
    not_16_bit,
};

// Reads the header of an input of `file_size` bytes. For raw input the samples
// are everything from byte 44, and the channel count is the header's only when
// the file begins with a RIFF/WAVE header.
WavProbe read_wav_header(std::FILE* input, uint64_t file_size, bool raw_input);

// Decides whether the input can be encoded; pure.
ProbeVerdict judge_wav_probe(const WavProbe& probe, bool raw_input);

// 32000, 44100 or 48000 when the header's rate field says exactly that, else 0.
uint32_t detected_rate(const WavProbe& probe);

// Reads and judges the header; a refusal is printed (with the Enter prompt
// unless "-GUI") and false returned.
bool probe_wav_header(std::FILE* input, uint64_t file_size, const CommandText& command_text, WavProbe& probe);
