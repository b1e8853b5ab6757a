#include "decisions/sample_layout.h"

ChannelConversion channel_conversion(uint32_t file_channels, uint32_t engine_channels) {
    if (file_channels == 2 && engine_channels == 1) return ChannelConversion::mix_to_mono;
    if (file_channels == 1 && engine_channels == 2) return ChannelConversion::mono_to_both;
    return ChannelConversion::none;
}

uint32_t file_values_per_chunk(ChannelConversion conversion, uint32_t engine_values) {
    switch (conversion) {
        case ChannelConversion::mix_to_mono:
            return engine_values <= UINT32_MAX / 2 ? engine_values * 2 : UINT32_MAX - 1;
        case ChannelConversion::mono_to_both:
            return engine_values / 2;
        case ChannelConversion::none:
            break;
    }
    return engine_values;
}

std::size_t convert_channels(ChannelConversion conversion, int16_t* samples, std::size_t file_values) {
    switch (conversion) {
        case ChannelConversion::mix_to_mono: {
            std::size_t frames = file_values / 2;
            for (std::size_t i = 0; i < frames; ++i) {
                int sum = samples[2 * i] + samples[2 * i + 1];
                // Halves round away from zero, so the mean stays within 16 bits.
                samples[i] = static_cast<int16_t>((sum + (sum >= 0 ? 1 : -1)) / 2);
            }
            return frames;
        }
        case ChannelConversion::mono_to_both:
            // From the end, so no value is overwritten before it is copied.
            for (std::size_t i = file_values; i-- > 0;) {
                samples[2 * i + 1] = samples[i];
                samples[2 * i] = samples[i];
            }
            return 2 * file_values;
        case ChannelConversion::none:
            break;
    }
    return file_values;
}

SampleLayout sample_layout_of(const WavProbe& probe, const RunSettings& settings) {
    const uint32_t engine_channels = settings.mode_kind == kModeMono ? 1 : 2;
    const uint32_t file_channels = settings.raw_input ? engine_channels : probe.channels;
    return {probe.sample_offset, probe.sample_bytes, probe.seekable == 1,
            channel_conversion(file_channels, engine_channels)};
}
