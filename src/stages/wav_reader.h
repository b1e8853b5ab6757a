// Reads the input's header, forward from its start, as the header decision
// asks, and leaves the input where its samples begin. `file_size` is
// kUnknownSize for a stream that cannot be measured.
#pragma once

#include <cstdint>
#include <cstdio>

#include "decisions/wav_header.h"

WavProbe read_wav_header(std::FILE* input, uint64_t file_size, bool raw_input);
