// The encode loop: the input's samples through the engine into the output.
#pragma once

#include <cstdint>
#include <cstdio>

#include "decisions/sample_layout.h"
#include "engine_interface/engine_api.h"

// Told after every chunk how many of the input's sample bytes are encoded so far.
struct ProgressReport {
    void (*chunk_done)(void* context, uint64_t bytes_read);
    void* context;
};

// Opens the stream, encodes the samples chunk by chunk (mixed down or doubled
// when the file's channels differ from the mode's), flushes, writes what the
// engine returns, closes the stream and frees its buffers. The files stay
// open. An output that will get no VBR header (a pipe) gets no room for one
// either: `drop_vbr_placeholder` leaves out the frame the engine reserves for
// it. On a failure it prints its message and returns false.
bool encode_samples(const EngineApi& engine, EngineConfig& config, std::FILE* input, std::FILE* output,
                    const SampleLayout& layout, bool drop_vbr_placeholder, ProgressReport progress);
