// Music-like test sound of our own: chords of a few tones with harmonics, a
// plucked envelope and a little noise, so the encoder works as on real music.
#pragma once

#include <cstdint>
#include <string>

// `frames` frames of 16-bit little-endian samples, interleaved for `channels`.
std::string music_samples(uint32_t frames, uint16_t channels, uint32_t sample_rate, uint32_t seed = 1);

// A canonical 44-byte WAV header for `data_bytes` bytes of samples.
std::string wav_header(uint16_t format_tag, uint16_t channels, uint32_t sample_rate, uint16_t bits_per_sample,
                       uint32_t data_bytes);
