#include "decisions/mpeg_frame.h"

namespace {

constexpr std::size_t kHeaderBytes = 4;

// kbps by bitrate index, for MPEG-1 and for MPEG-2 and 2.5, Layer III.
constexpr int kBitratesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitratesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
// Hz by rate index, for MPEG-1; MPEG-2 halves them, MPEG-2.5 quarters them.
constexpr int kRatesMpeg1[4] = {44100, 48000, 32000, 0};

}  // namespace

std::size_t layer3_frame_length(const unsigned char* bytes, std::size_t size) {
    if (size < kHeaderBytes || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return 0;
    const int version = (bytes[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (bytes[1] >> 1) & 3;    // 1 Layer III
    const int bitrate_index = bytes[2] >> 4;
    const int rate_index = (bytes[2] >> 2) & 3;
    if (version == 1 || layer != 1) return 0;
    const int kbps = version == 3 ? kBitratesMpeg1[bitrate_index] : kBitratesMpeg2[bitrate_index];
    const int rate = kRatesMpeg1[rate_index] / (version == 3 ? 1 : version == 2 ? 2 : 4);
    if (kbps == 0 || rate == 0) return 0;
    const int padding = (bytes[2] >> 1) & 1;
    return static_cast<std::size_t>((version == 3 ? 144 : 72) * kbps * 1000 / rate + padding);
}

std::size_t vbr_placeholder_length(const unsigned char* bytes, std::size_t size) {
    const std::size_t length = layer3_frame_length(bytes, size);
    if (length == 0 || length > size) return 0;
    for (std::size_t i = kHeaderBytes; i < length; ++i)
        if (bytes[i] != 0) return 0;
    return length;
}
