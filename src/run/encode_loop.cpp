#include "run/encode_loop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "console/console.h"
#include "frontend/run_files.h"
#include "run/channel_conversion.h"
#include "run/progress.h"

namespace {

bool gui_mode(const CommandText& command_text) { return switch_present(command_text, "-GUI"); }

// Front ends take "Writing LAME Tag...done" as the sign that the file is
// complete, so these lines come only once it truly is.
void show_gui_closing_lines(const RunSettings& settings) {
    console_print("\naverage: %0.1f kbps   LR: 303 (100.0%%)\n", static_cast<double>(settings.bitrate));
    console_print("\n");
    console_print("Writing LAME Tag...done\n");
    console_flush();
}

}  // namespace

int encode_and_finalise(RunResources& resources, EngineConfig& config, RunSettings& settings,
                        const CommandText& command_text, const FileNames& names, const WavProbe& probe) {
    const EngineApi& engine = resources.engine_api;
    EngineResult result = engine.init_stream(&config, &resources.samples_per_chunk,
                                             &resources.output_buffer_size, &resources.stream_handle);
    if (result != 0) {
        std::fprintf(stderr, "  Error opening encoding stream (%lu)", static_cast<unsigned long>(result));
        return -1;
    }

    // Raw input is read as the mode says; a WAV file as its header says.
    const uint32_t engine_channels = settings.mode_kind == kModeMono ? 1 : 2;
    const uint32_t file_channels = raw_input_requested(command_text) ? engine_channels : probe.channels;
    const ChannelConversion conversion = channel_conversion(file_channels, engine_channels);
    uint32_t chunk_values = file_values_per_chunk(conversion, resources.samples_per_chunk);
    if (chunk_values == 0) chunk_values = 1;
    // The buffer holds a chunk as read and as the engine gets it.
    const std::size_t buffer_values =
        std::max({std::size_t{chunk_values}, std::size_t{resources.samples_per_chunk},
                  conversion == ChannelConversion::mono_to_both ? 2 * std::size_t{chunk_values} : 0});

    resources.encoded_buffer = static_cast<uint8_t*>(std::malloc(resources.output_buffer_size));
    if (resources.encoded_buffer != nullptr)
        resources.sample_buffer = static_cast<int16_t*>(std::malloc(2 * buffer_values));
    if (resources.encoded_buffer == nullptr || resources.sample_buffer == nullptr) {
        std::fputs("  Out of memory", stdout);
        return -1;
    }

    uint32_t encoded_bytes = 0;
    uint64_t bytes_read = 0;
    // Whole values only: a last odd byte belongs to no value.
    uint64_t values_left = probe.sample_bytes / 2;
    TimeEstimates estimates{};
    std::FILE* input = resources.input_file;
    std::FILE* output = resources.output_file;
    if (values_left != 0 && fseeko(input, static_cast<off_t>(probe.sample_offset), SEEK_SET) != 0) {
        std::fputs("  Input file read error", stderr);
        return -1;
    }
    while (values_left != 0) {
        const std::size_t wanted = values_left < chunk_values ? static_cast<std::size_t>(values_left) : chunk_values;
        const std::size_t values_read = std::fread(resources.sample_buffer, 2, wanted, input);
        // Fewer values than measured at the start: a failed read, or an input
        // that shrank meanwhile. Either way the MP3 would be cut short.
        if (values_read == 0) {
            std::fputs("  Input file read error", stderr);
            return -1;
        }
        values_left -= values_read;
        const std::size_t engine_values = convert_channels(conversion, resources.sample_buffer, values_read);
        encoded_bytes = 0;
        if (engine_values != 0) {
            result = engine.encode_chunk(resources.stream_handle, static_cast<uint32_t>(engine_values),
                                         resources.sample_buffer, resources.encoded_buffer, &encoded_bytes);
            if (result != 0) {
                engine.close_stream(resources.stream_handle);
                std::fprintf(stderr, "beEncodeChunk() failed (%lu)", static_cast<unsigned long>(result));
                return -1;
            }
        }
        if (encoded_bytes != 0 && std::fwrite(resources.encoded_buffer, 1, encoded_bytes, output) != encoded_bytes) {
            std::fputs("  There was a write error, check diskspace.", stderr);
            return -1;
        }
        bytes_read += 2 * uint64_t{values_read};
        if (gui_mode(command_text)) settings.progress_style = kProgressEmulation;
        show_progress(bytes_read, probe.input_size, settings.progress_style, estimates);
    }

    result = engine.deinit_stream(resources.stream_handle, resources.encoded_buffer, &encoded_bytes);
    if (result != 0) {
        engine.close_stream(resources.stream_handle);
        std::fprintf(stderr, "  Exit Stream failed (%lu)", static_cast<unsigned long>(result));
        return -1;
    }
    if (encoded_bytes != 0 && std::fwrite(resources.encoded_buffer, 1, encoded_bytes, output) != encoded_bytes) {
        std::fputs("  Output file write error", stderr);
        return -1;
    }
    engine.close_stream(resources.stream_handle);
    std::free(resources.sample_buffer);
    resources.sample_buffer = nullptr;
    std::free(resources.encoded_buffer);
    resources.encoded_buffer = nullptr;

    std::fclose(input);
    resources.input_file = nullptr;
    // Writes are buffered, so a full disk may show only here; such a file is not complete.
    bool output_complete = std::fflush(output) == 0;
    output_complete = std::fclose(output) == 0 && output_complete;
    resources.output_file = nullptr;
    // A FIFO or a device has no VBR header to write; a regular file without
    // its header is not complete.
    if (output_complete && resources.output_is_regular)
        output_complete = engine.write_vbr_header(names.output_name) == 0;
    release_output_lock(resources);
    if (!output_complete) {
        std::fputs("  Output file write error", stderr);
        return -1;
    }

    if (gui_mode(command_text)) {
        show_gui_closing_lines(settings);
    } else {
        console_print("\n\n  Encoding Process is complete... Press Enter to EXIT...");
        console_flush();
        wait_for_enter();
    }
    return 0;
}
