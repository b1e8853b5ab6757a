// MPEG audio frames, as far as the program needs to know them: the frame the
// engine reserves at the start of its stream for the VBR header.
#pragma once

#include <cstddef>

// The length of the Layer III frame whose header begins `bytes`, or 0 when
// they hold none.
std::size_t layer3_frame_length(const unsigned char* bytes, std::size_t size);

// The length of the frame that begins `bytes` when it is the placeholder the
// engine writes for its VBR header (a frame header and nothing but zeros) and
// lies wholly within them; else 0.
std::size_t vbr_placeholder_length(const unsigned char* bytes, std::size_t size);
