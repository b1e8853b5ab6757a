// What one run holds, from the engine library to the encode buffers.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/engine_api.h"

constexpr const char* kVersionString = "1.3.2";

struct RunResources {
    void* engine_library;
    EngineApi engine_api;
    EngineVersion engine_version;
    std::FILE* input_file;
    std::FILE* output_file;
    bool output_is_regular;  // a FIFO or a device has no VBR header to write
    int output_lock = -1;    // holds the output's lock until the file is complete; -1 for none
    EngineStream stream_handle;
    uint32_t samples_per_chunk;
    uint32_t output_buffer_size;
    int16_t* sample_buffer;
    uint8_t* encoded_buffer;
};
