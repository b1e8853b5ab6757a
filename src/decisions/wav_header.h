// The WAV header as RIFF: what its `fmt ` and `data` chunks say, wherever they
// stand, every other chunk skipped; and whether the input can be encoded.
// Pure: the reading stage hands each chunk header here and does what it is told.
#pragma once

#include <cstddef>
#include <cstdint>

// The size of a stream that cannot be measured, a pipe, or of samples that run
// to the end of one.
constexpr uint64_t kUnknownSize = UINT64_MAX;

struct WavProbe {
    int seekable;              // 1 when the input can be measured and read again; 0 for a pipe
    int riff_wave;             // 1 when the file begins with a RIFF/WAVE header
    int format_found;          // 1 when a whole `fmt ` chunk was read
    int pcm_flag;              // format tag 1, or EXTENSIBLE with the PCM subformat
    uint32_t channels;         // the `fmt ` chunk's channel count; 0 says nothing
    uint32_t sample_rate;
    uint32_t bits_per_sample;
    int data_found;            // 1 when the `data` chunk was found
    uint64_t sample_offset;    // where the samples begin in the file
    uint64_t sample_bytes;     // how many bytes of samples to encode, or kUnknownSize
    uint64_t input_size;       // what progress and the size estimate count against, or kUnknownSize
};

constexpr std::size_t kRiffHeaderBytes = 12;
constexpr std::size_t kChunkHeaderBytes = 8;
// Raw input keeps its first 44 bytes out of the encoding, header or not, and
// its header is looked for there only.
constexpr uint64_t kRawSkippedBytes = 44;
// The most of a `fmt ` body that says anything: the EXTENSIBLE form.
constexpr std::size_t kFormatBytesRead = 40;

bool is_riff_wave(const unsigned char (&header)[kRiffHeaderBytes]);

// What the reader does after a chunk header whose body begins at `body_offset`.
// `file_size` may be kUnknownSize; a probe that is not seekable never looks
// behind the samples.
enum class ChunkAction { skip, read_format, stop };
struct ChunkStep {
    ChunkAction action;
    uint64_t skip_bytes;      // skip: how far
    std::size_t read_bytes;   // read_format: how many bytes of the body to hand over
    uint32_t chunk_size;      // read_format: the body's stated size
};
ChunkStep next_chunk_step(const unsigned char (&header)[kChunkHeaderBytes], uint64_t body_offset,
                          uint64_t file_size, WavProbe& probe);
// Takes the `fmt ` body that was read (`read` of its `chunk_size` bytes) and says what follows it.
ChunkStep take_format_chunk(const unsigned char* body, std::size_t read, uint32_t chunk_size, WavProbe& probe);

// Sets where the samples are and what progress counts against, once the chunks are read.
void finish_probe(uint64_t file_size, bool raw_input, WavProbe& probe);

// What the `fmt ` chunk's body says.
struct WavFormat {
    int pcm;
    uint32_t channels;
    uint32_t sample_rate;
    uint32_t bits_per_sample;
};
bool parse_format_chunk(const unsigned char* body, std::size_t size, WavFormat& format);

// The samples the `data` chunk holds: its stated length, or the rest of the
// file when the length is 0, 0xFFFFFFFF (a streamed or unfinished recording)
// or runs past the end (unknown when the file's size is).
uint64_t data_chunk_bytes(uint32_t stated, uint64_t data_offset, uint64_t file_size);

enum class ProbeVerdict {
    accepted,
    not_pcm,
    bad_channel_count,
    unsupported_rate,
    not_16_bit,
};

ProbeVerdict judge_wav_probe(const WavProbe& probe, bool raw_input);

// 32000, 44100 or 48000 when the header's rate field says exactly that, else 0.
uint32_t detected_rate(const WavProbe& probe);
