// The six C entry points of the encoder engine lame_enc.dll, with the records
// they take and fill. Shared by the program, which binds them at run time, and
// by the engine library, which defines them.
#pragma once

#include <cstdint>

#include "settings/engine_config.h"

#pragma pack(push, 1)
struct EngineVersion {
    uint8_t library_major;
    uint8_t library_minor;
    uint8_t engine_major;
    uint8_t engine_minor;
    uint8_t release_day;
    uint8_t release_month;
    uint16_t release_year;
    uint8_t reserved[257];
};
#pragma pack(pop)

static_assert(sizeof(EngineVersion) == 265, "EngineVersion must be 265 packed bytes");

// Result of the stream calls: 0 is success, anything else the engine's error code.
using EngineResult = uint32_t;
using EngineStream = uint32_t;

extern "C" {
EngineResult beInitStream(EngineConfig* config, uint32_t* samples_per_chunk,
                          uint32_t* output_buffer_size, EngineStream* stream);
EngineResult beEncodeChunk(EngineStream stream, uint32_t sample_count, const int16_t* samples,
                           uint8_t* output, uint32_t* output_bytes);
EngineResult beDeinitStream(EngineStream stream, uint8_t* output, uint32_t* output_bytes);
EngineResult beCloseStream(EngineStream stream);
void beVersion(EngineVersion* version);
EngineResult beWriteVBRHeader(const char* file_name);
}

struct EngineApi {
    decltype(&beInitStream) init_stream;
    decltype(&beEncodeChunk) encode_chunk;
    decltype(&beDeinitStream) deinit_stream;
    decltype(&beCloseStream) close_stream;
    decltype(&beVersion) version;
    decltype(&beWriteVBRHeader) write_vbr_header;
};

constexpr const char* kEngineFileName = "lame_enc.dll";

// Loads the engine, looking first in the folder of `program_path` (the running
// program's full path), and binds all six entry points, or prints why not and
// returns false. The library is never unloaded.
bool bind_engine(const char* program_path, void*& library, EngineApi& api);
