#include "music_wav.h"

#include <cmath>

namespace {

void put16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void put32(std::string& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

}  // namespace

std::string music_samples(uint32_t frames, uint16_t channels, uint32_t sample_rate, uint32_t seed) {
    std::string out;
    out.reserve(static_cast<std::size_t>(frames) * channels * 2);
    uint32_t noise = seed * 2654435761u + 12345u;
    const double notes[] = {220.0, 277.18, 329.63, 440.0, 369.99, 293.66};
    const double two_pi = 6.283185307179586;
    for (uint32_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / sample_rate;
        // A new chord every half second, decaying like plucked strings.
        uint32_t beat = static_cast<uint32_t>(t * 2.0);
        double since_beat = t - beat / 2.0;
        double envelope = 0.35 + 0.65 * std::exp(-4.0 * since_beat);
        for (uint16_t c = 0; c < channels; ++c) {
            double value = 0;
            for (int n = 0; n < 3; ++n) {
                double f = notes[(beat + n * 2 + c) % 6] * (1 + 0.002 * c);
                value += 0.22 * std::sin(two_pi * f * t) + 0.08 * std::sin(two_pi * 2 * f * t) +
                         0.04 * std::sin(two_pi * 3 * f * t);
            }
            noise = noise * 1664525u + 1013904223u;
            value = value * envelope + 0.03 * ((noise >> 8) / 16777216.0 - 0.5);
            long sample = std::lround(value * 26000);
            if (sample > 32767) sample = 32767;
            if (sample < -32768) sample = -32768;
            put16(out, static_cast<uint16_t>(static_cast<int16_t>(sample)));
        }
    }
    return out;
}

std::string wav_header(uint16_t format_tag, uint16_t channels, uint32_t sample_rate, uint16_t bits_per_sample,
                       uint32_t data_bytes) {
    const auto block_align = static_cast<uint16_t>(channels * bits_per_sample / 8);
    std::string out = "RIFF";
    put32(out, 36 + data_bytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, format_tag);
    put16(out, channels);
    put32(out, sample_rate);
    put32(out, sample_rate * block_align);
    put16(out, block_align);
    put16(out, bits_per_sample);
    out += "data";
    put32(out, data_bytes);
    return out;
}
