#include "stages/encode_loop.h"

#include <algorithm>
#include <cstdlib>

#include "decisions/mpeg_frame.h"
#include "decisions/screen_texts.h"

namespace {

// What the loop holds while the stream is open.
struct EncodeStream {
    EngineStream handle = 0;
    uint32_t samples_per_chunk = 0;
    uint32_t output_buffer_size = 0;
    int16_t* sample_buffer = nullptr;
    uint8_t* encoded_buffer = nullptr;
    bool placeholder_pending = false;  // the engine's first frame is still to be left out
};

// The loop allocated the buffers, so it frees them, also when it fails.
bool release_buffers(EncodeStream& stream, bool outcome) {
    std::free(stream.sample_buffer);
    std::free(stream.encoded_buffer);
    stream.sample_buffer = nullptr;
    stream.encoded_buffer = nullptr;
    return outcome;
}

bool write_bytes(EncodeStream& stream, std::FILE* output, const uint8_t* bytes, uint32_t count) {
    if (stream.placeholder_pending && count != 0) {
        // The reserved frame comes first in the engine's first bytes, whole.
        stream.placeholder_pending = false;
        const std::size_t placeholder = vbr_placeholder_length(bytes, count);
        bytes += placeholder;
        count -= static_cast<uint32_t>(placeholder);
    }
    return count == 0 || std::fwrite(bytes, 1, count, output) == count;
}

}  // namespace

bool encode_samples(const EngineApi& engine, EngineConfig& config, std::FILE* input, std::FILE* output,
                    const SampleLayout& layout, bool drop_vbr_placeholder, ProgressReport progress) {
    EncodeStream stream;
    stream.placeholder_pending = drop_vbr_placeholder;
    EngineResult result =
        engine.init_stream(&config, &stream.samples_per_chunk, &stream.output_buffer_size, &stream.handle);
    if (result != 0) {
        std::fprintf(stderr, "  Error opening encoding stream (%lu)", static_cast<unsigned long>(result));
        return false;
    }

    uint32_t chunk_values = file_values_per_chunk(layout.conversion, stream.samples_per_chunk);
    if (chunk_values == 0) chunk_values = 1;
    // The buffer holds a chunk as read and as the engine gets it.
    const std::size_t buffer_values =
        std::max({std::size_t{chunk_values}, std::size_t{stream.samples_per_chunk},
                  layout.conversion == ChannelConversion::mono_to_both ? 2 * std::size_t{chunk_values} : 0});

    stream.encoded_buffer = static_cast<uint8_t*>(std::malloc(stream.output_buffer_size));
    if (stream.encoded_buffer != nullptr)
        stream.sample_buffer = static_cast<int16_t*>(std::malloc(2 * buffer_values));
    if (stream.encoded_buffer == nullptr || stream.sample_buffer == nullptr) {
        std::fputs("  Out of memory", stdout);
        return release_buffers(stream, false);
    }

    uint32_t encoded_bytes = 0;
    uint64_t bytes_read = 0;
    // Whole values only: a last odd byte belongs to no value. The input stands
    // where its samples begin.
    uint64_t values_left = layout.bytes == kUnknownSize ? UINT64_MAX : layout.bytes / 2;
    while (values_left != 0) {
        const std::size_t wanted = values_left < chunk_values ? static_cast<std::size_t>(values_left) : chunk_values;
        const std::size_t values_read = std::fread(stream.sample_buffer, 2, wanted, input);
        if (values_read == 0) {
            // Fewer values than a file held at the start: a failed read, or an
            // input that shrank meanwhile. Either way the MP3 would be cut short.
            if (std::ferror(input) || layout.exact) {
                std::fputs(kInputReadError, stderr);
                return release_buffers(stream, false);
            }
            break;
        }
        values_left -= values_read;
        const std::size_t engine_values = convert_channels(layout.conversion, stream.sample_buffer, values_read);
        encoded_bytes = 0;
        if (engine_values != 0) {
            result = engine.encode_chunk(stream.handle, static_cast<uint32_t>(engine_values), stream.sample_buffer,
                                         stream.encoded_buffer, &encoded_bytes);
            if (result != 0) {
                engine.close_stream(stream.handle);
                std::fprintf(stderr, "beEncodeChunk() failed (%lu)", static_cast<unsigned long>(result));
                return release_buffers(stream, false);
            }
        }
        if (!write_bytes(stream, output, stream.encoded_buffer, encoded_bytes)) {
            std::fputs("  There was a write error, check diskspace.", stderr);
            return release_buffers(stream, false);
        }
        bytes_read += 2 * uint64_t{values_read};
        progress.chunk_done(progress.context, bytes_read);
    }

    result = engine.deinit_stream(stream.handle, stream.encoded_buffer, &encoded_bytes);
    if (result != 0) {
        engine.close_stream(stream.handle);
        std::fprintf(stderr, "  Exit Stream failed (%lu)", static_cast<unsigned long>(result));
        return release_buffers(stream, false);
    }
    if (!write_bytes(stream, output, stream.encoded_buffer, encoded_bytes)) {
        std::fputs(kOutputWriteError, stderr);
        return release_buffers(stream, false);
    }
    engine.close_stream(stream.handle);
    return release_buffers(stream, true);
}
