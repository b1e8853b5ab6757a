// A stand-in for lame_enc.dll whose behaviour each test chooses through
// environment variables, and which records every call it receives.
//
//   FAKE_ENGINE_LOG            file to which one line per call is appended
//   FAKE_ENGINE_RECORD         file that receives the 331 bytes given to beInitStream
//   FAKE_ENGINE_INIT_ERROR     beInitStream returns this code
//   FAKE_ENGINE_CHUNK_ERROR_AT the N-th beEncodeChunk (1-based) fails ...
//   FAKE_ENGINE_CHUNK_ERROR    ... with this code (default 7)
//   FAKE_ENGINE_DEINIT_ERROR   beDeinitStream returns this code
//   FAKE_ENGINE_ZERO_BYTES     every chunk and the flush return no bytes
//   FAKE_ENGINE_CHUNK_SAMPLES  samples-per-chunk (default 2304)
//   FAKE_ENGINE_BUFFER_SIZE    output-buffer-size (default 4096)
//   FAKE_ENGINE_VERSION        eight comma-separated numbers for the version record
//                              (library major, minor, engine major, minor, day, month, year)
//   FAKE_ENGINE_SAMPLES        file to which every beEncodeChunk appends the values it was given
//                              (16-bit little-endian, as the program handed them over)
//   FAKE_ENGINE_CHUNK_DELAY_MS every beEncodeChunk sleeps this long, so a run lasts a while
//   FAKE_ENGINE_VBR_HEADER_ERROR beWriteVBRHeader returns this code
//   FAKE_ENGINE_TRUNCATE_INPUT PATH:BYTES: the first beEncodeChunk truncates that file to BYTES,
//                              an input that shrinks while it is read
//
// Chunk k (counted from 1) returns 16 bytes of the value k; the flush returns
// 8 bytes 'F'. Built without beWriteVBRHeader when FAKE_ENGINE_INCOMPLETE is defined.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine_interface/engine_api.h"

namespace {

constexpr uint32_t kChunkBytes = 16;
constexpr uint32_t kFlushBytes = 8;
constexpr EngineStream kHandle = 0x5EED;

uint32_t chunks_seen = 0;

uint32_t env_number(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? static_cast<uint32_t>(std::strtoul(value, nullptr, 0)) : fallback;
}

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
void log_line(const char* format, ...) {
    const char* path = std::getenv("FAKE_ENGINE_LOG");
    if (path == nullptr) return;
    std::FILE* log = std::fopen(path, "a");
    if (log == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fclose(log);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void beVersion(EngineVersion* version) {
    log_line("beVersion");
    const char* chosen = std::getenv("FAKE_ENGINE_VERSION");
    if (chosen == nullptr) return;  // left untouched, as a careless engine might
    unsigned values[7] = {};
    std::sscanf(chosen, "%u,%u,%u,%u,%u,%u,%u", &values[0], &values[1], &values[2], &values[3], &values[4],
                &values[5], &values[6]);
    version->library_major = static_cast<uint8_t>(values[0]);
    version->library_minor = static_cast<uint8_t>(values[1]);
    version->engine_major = static_cast<uint8_t>(values[2]);
    version->engine_minor = static_cast<uint8_t>(values[3]);
    version->release_day = static_cast<uint8_t>(values[4]);
    version->release_month = static_cast<uint8_t>(values[5]);
    version->release_year = static_cast<uint16_t>(values[6]);
}

__attribute__((visibility("default"))) EngineResult beInitStream(EngineConfig* config, uint32_t* samples_per_chunk,
                                                                 uint32_t* output_buffer_size, EngineStream* stream) {
    log_line("beInitStream");
    if (const char* path = std::getenv("FAKE_ENGINE_RECORD")) {
        if (std::FILE* record = std::fopen(path, "wb")) {
            std::fwrite(config, 1, sizeof *config, record);
            std::fclose(record);
        }
    }
    if (uint32_t code = env_number("FAKE_ENGINE_INIT_ERROR", 0)) return code;
    *samples_per_chunk = env_number("FAKE_ENGINE_CHUNK_SAMPLES", 2304);
    *output_buffer_size = env_number("FAKE_ENGINE_BUFFER_SIZE", 4096);
    *stream = kHandle;
    return 0;
}

__attribute__((visibility("default"))) EngineResult beEncodeChunk(EngineStream stream, uint32_t sample_count,
                                                                  const int16_t* samples, uint8_t* output,
                                                                  uint32_t* output_bytes) {
    ++chunks_seen;
    log_line("beEncodeChunk handle=%u count=%u first=%d last=%d", stream, sample_count, samples[0],
             samples[sample_count - 1]);
    if (const char* path = std::getenv("FAKE_ENGINE_SAMPLES")) {
        if (std::FILE* file = std::fopen(path, "ab")) {
            std::fwrite(samples, 2, sample_count, file);
            std::fclose(file);
        }
    }
    const char* truncation = std::getenv("FAKE_ENGINE_TRUNCATE_INPUT");
    if (truncation != nullptr && chunks_seen == 1) {
        const char* colon = std::strrchr(truncation, ':');
        if (colon != nullptr) {
            std::string path(truncation, static_cast<std::size_t>(colon - truncation));
            if (truncate(path.c_str(), static_cast<off_t>(std::strtoll(colon + 1, nullptr, 10))) != 0)
                log_line("truncate failed");
        }
    }
    if (uint32_t delay = env_number("FAKE_ENGINE_CHUNK_DELAY_MS", 0)) usleep(delay * 1000u);
    if (chunks_seen == env_number("FAKE_ENGINE_CHUNK_ERROR_AT", 0)) return env_number("FAKE_ENGINE_CHUNK_ERROR", 7);
    if (env_number("FAKE_ENGINE_ZERO_BYTES", 0)) {
        *output_bytes = 0;
        return 0;
    }
    std::memset(output, static_cast<int>(chunks_seen & 0xFF), kChunkBytes);
    *output_bytes = kChunkBytes;
    return 0;
}

__attribute__((visibility("default"))) EngineResult beDeinitStream(EngineStream stream, uint8_t* output,
                                                                   uint32_t* output_bytes) {
    log_line("beDeinitStream handle=%u", stream);
    if (uint32_t code = env_number("FAKE_ENGINE_DEINIT_ERROR", 0)) return code;
    if (env_number("FAKE_ENGINE_ZERO_BYTES", 0)) {
        *output_bytes = 0;
        return 0;
    }
    std::memset(output, 'F', kFlushBytes);
    *output_bytes = kFlushBytes;
    return 0;
}

__attribute__((visibility("default"))) EngineResult beCloseStream(EngineStream stream) {
    log_line("beCloseStream handle=%u", stream);
    return 0;
}

#ifndef FAKE_ENGINE_INCOMPLETE
__attribute__((visibility("default"))) EngineResult beWriteVBRHeader(const char* file_name) {
    // What the engine finds on disk: the program must have closed the file by now.
    struct stat info;
    long size = stat(file_name, &info) == 0 ? static_cast<long>(info.st_size) : -1;
    log_line("beWriteVBRHeader name=%s size=%ld", file_name, size);
    return env_number("FAKE_ENGINE_VBR_HEADER_ERROR", 0);
}
#endif
}
