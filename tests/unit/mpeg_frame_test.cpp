// The frame the engine reserves for the VBR header is left out of a stream
// that cannot get one; only that frame, and only when it is one.
#include <gtest/gtest.h>

#include <string>

#include "decisions/mpeg_frame.h"

namespace {

std::string frame(const std::string& header, std::size_t length, char fill = '\0') {
    return header + std::string(length - header.size(), fill);
}

const std::string kMpeg1At192("\xFF\xFB\xB0\x44", 4);         // 44.1 kHz, no padding: 626 bytes
const std::string kMpeg1At192Padded("\xFF\xFB\xB2\x44", 4);   // the same with its padding byte
const std::string kMpeg1WithCrc("\xFF\xFA\xB0\x44", 4);       // protected: a CRC follows the header
const std::string kMpeg2At128("\xFF\xF3\xC0\x44", 4);         // 22.05 kHz MPEG-2 at 128 kbps: 417 bytes

TEST(MpegFrame, ReservedFrameIsItsHeaderAndZeros) {
    const struct {
        std::string bytes;
        std::size_t placeholder;
        const char* why;
    } cases[] = {
        {frame(kMpeg1At192, 626) + kMpeg1At192, 626, "the engine's reserved frame before the first audio frame"},
        {frame(kMpeg1At192Padded, 627), 627, "the padding byte counts"},
        {frame(kMpeg1WithCrc, 626), 626, "with CRC protection the reserved frame is zeros all the same"},
        {frame(kMpeg2At128, 417), 417, "MPEG-2 frames are half as long for their bitrate"},
        {frame(kMpeg1At192, 626, '\x01'), 0, "a frame that holds anything is audio, never left out"},
        {frame(kMpeg1At192, 626).substr(0, 600), 0, "a frame not wholly there is not judged"},
        {std::string(626, '\x01'), 0, "bytes that are no frame, as a fake engine writes them"},
        {std::string("\xFF\xFD\xB0\x44", 4) + std::string(622, '\0'), 0, "Layer II is no frame of this engine"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vbr_placeholder_length(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()),
                  c.placeholder)
            << c.why;
    }
}

}  // namespace
