// The six C entry points of the encoder engine lame_enc.dll, with the records
// they take and fill. Shared by the program, which binds them at run time, and
// by the engine library, which defines them; it includes nothing of either.
#pragma once

#include <cstddef>
#include <cstdint>

// The configuration record handed to the engine when a stream is opened.
// It is a wire format shared with lame_enc.dll: 331 packed little-endian bytes.
#pragma pack(push, 1)
struct EngineConfig {
    uint32_t config_kind;        // 256: the engine's version-1 configuration form
    uint32_t struct_version;     // 1
    uint32_t struct_size;        // 331
    uint32_t input_rate;         // Hz of the samples handed to the engine
    uint32_t output_rate;        // Hz of the MP3 stream
    int32_t mode;                // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    uint32_t bitrate;            // kbps: CBR rate, or the VBR minimum
    uint32_t max_bitrate;        // kbps: VBR maximum, 0 when never set
    int32_t preset;              // -1: no preset
    uint32_t mpeg_version;
    uint32_t psy_model;
    uint32_t emphasis;
    uint32_t private_flag;
    uint32_t crc_flag;
    uint32_t copyright_flag;
    uint32_t original_flag;
    uint32_t vbr_header_flag;
    uint32_t vbr_flag;
    int32_t vbr_quality;         // 0 highest to 9 lowest
    uint32_t abr;                // 1: average bitrate at `bitrate`
    int32_t vbr_method;
    uint32_t no_reservoir_flag;
    uint32_t strict_iso_flag;
    uint16_t quality;            // 0: the engine's default quality
    uint8_t reserved[237];
};
#pragma pack(pop)

constexpr uint32_t kEngineConfigKind = 256;
constexpr uint32_t kEngineConfigVersion = 1;
constexpr uint32_t kEngineConfigSize = 331;

static_assert(sizeof(EngineConfig) == kEngineConfigSize, "EngineConfig must be 331 packed bytes");
static_assert(offsetof(EngineConfig, config_kind) == 0, "layout");
static_assert(offsetof(EngineConfig, struct_version) == 4, "layout");
static_assert(offsetof(EngineConfig, struct_size) == 8, "layout");
static_assert(offsetof(EngineConfig, input_rate) == 12, "layout");
static_assert(offsetof(EngineConfig, output_rate) == 16, "layout");
static_assert(offsetof(EngineConfig, mode) == 20, "layout");
static_assert(offsetof(EngineConfig, bitrate) == 24, "layout");
static_assert(offsetof(EngineConfig, max_bitrate) == 28, "layout");
static_assert(offsetof(EngineConfig, preset) == 32, "layout");
static_assert(offsetof(EngineConfig, mpeg_version) == 36, "layout");
static_assert(offsetof(EngineConfig, psy_model) == 40, "layout");
static_assert(offsetof(EngineConfig, emphasis) == 44, "layout");
static_assert(offsetof(EngineConfig, private_flag) == 48, "layout");
static_assert(offsetof(EngineConfig, crc_flag) == 52, "layout");
static_assert(offsetof(EngineConfig, copyright_flag) == 56, "layout");
static_assert(offsetof(EngineConfig, original_flag) == 60, "layout");
static_assert(offsetof(EngineConfig, vbr_header_flag) == 64, "layout");
static_assert(offsetof(EngineConfig, vbr_flag) == 68, "layout");
static_assert(offsetof(EngineConfig, vbr_quality) == 72, "layout");
static_assert(offsetof(EngineConfig, abr) == 76, "layout");
static_assert(offsetof(EngineConfig, vbr_method) == 80, "layout");
static_assert(offsetof(EngineConfig, no_reservoir_flag) == 84, "layout");
static_assert(offsetof(EngineConfig, strict_iso_flag) == 88, "layout");
static_assert(offsetof(EngineConfig, quality) == 92, "layout");
static_assert(offsetof(EngineConfig, reserved) == 94, "layout");

// Engine channel-mode codes.
constexpr int32_t kEngineModeStereo = 0;
constexpr int32_t kEngineModeJointStereo = 1;
constexpr int32_t kEngineModeDualChannel = 2;
constexpr int32_t kEngineModeMono = 3;


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
