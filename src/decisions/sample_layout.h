// Which of the input's bytes are samples, and how they become the engine's:
// the file's channel count says how they are read, the run's mode what the MP3 holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decisions/run_settings.h"
#include "decisions/wav_header.h"

enum class ChannelConversion {
    none,
    mix_to_mono,   // two channels into one: the rounded mean of left and right
    mono_to_both,  // one channel into two: each sample to both
};

ChannelConversion channel_conversion(uint32_t file_channels, uint32_t engine_channels);

// How many of the file's values one chunk of `engine_values` takes.
uint32_t file_values_per_chunk(ChannelConversion conversion, uint32_t engine_values);

// Converts `file_values` values in place (the buffer holds the larger of the
// two counts) and returns how many values the engine gets. A stereo value
// without its partner at the end is dropped when mixing.
std::size_t convert_channels(ChannelConversion conversion, int16_t* samples, std::size_t file_values);

struct SampleLayout {
    uint64_t offset;  // where the samples begin
    uint64_t bytes;   // how many bytes of samples, measured at the start, or kUnknownSize
    bool exact;       // a file must hold them all; a pipe ends where its writer stopped
    ChannelConversion conversion;
};

// Raw input is read as the mode says; a WAV file as its header says.
SampleLayout sample_layout_of(const WavProbe& probe, const RunSettings& settings);
