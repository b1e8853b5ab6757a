#include "run/encode_loop.h"

#include <cstdio>
#include <cstdlib>

#include "console/console.h"
#include "run/progress.h"

namespace {

constexpr long kFirstSampleOffset = 44;

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
                        const CommandText& command_text, const FileNames& names,
                        uint32_t input_size) {
    const EngineApi& engine = resources.engine_api;
    EngineResult result = engine.init_stream(&config, &resources.samples_per_chunk,
                                             &resources.output_buffer_size, &resources.stream_handle);
    if (result != 0) {
        std::fprintf(stderr, "  Error opening encoding stream (%lu)", static_cast<unsigned long>(result));
        return -1;
    }

    resources.encoded_buffer = static_cast<uint8_t*>(std::malloc(resources.output_buffer_size));
    if (resources.encoded_buffer != nullptr)
        resources.sample_buffer =
            static_cast<int16_t*>(std::malloc(2 * static_cast<std::size_t>(resources.samples_per_chunk)));
    if (resources.encoded_buffer == nullptr || resources.sample_buffer == nullptr) {
        std::fputs("  Out of memory", stdout);
        return -1;
    }

    uint32_t encoded_bytes = 0;
    uint32_t bytes_read = 0;
    TimeEstimates estimates{};
    std::FILE* input = resources.input_file;
    std::FILE* output = resources.output_file;
    std::fseek(input, kFirstSampleOffset, SEEK_SET);
    for (;;) {
        std::size_t samples_read = std::fread(resources.sample_buffer, 2, resources.samples_per_chunk, input);
        if (samples_read == 0) {
            // A failed read is not the end of the input: the file would be cut short.
            if (std::ferror(input)) {
                std::fputs("  Input file read error", stderr);
                return -1;
            }
            break;
        }
        result = engine.encode_chunk(resources.stream_handle, static_cast<uint32_t>(samples_read),
                                     resources.sample_buffer, resources.encoded_buffer, &encoded_bytes);
        if (result != 0) {
            engine.close_stream(resources.stream_handle);
            std::fprintf(stderr, "beEncodeChunk() failed (%lu)", static_cast<unsigned long>(result));
            return -1;
        }
        if (encoded_bytes != 0 && std::fwrite(resources.encoded_buffer, 1, encoded_bytes, output) != encoded_bytes) {
            std::fputs("  There was a write error, check diskspace.", stderr);
            return -1;
        }
        bytes_read += static_cast<uint32_t>(2 * samples_read);
        if (gui_mode(command_text)) settings.progress_style = kProgressEmulation;
        show_progress(bytes_read, input_size, settings.progress_style, estimates);
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
    if (!output_complete) {
        std::fputs("  Output file write error", stderr);
        return -1;
    }
    engine.write_vbr_header(names.output_name);

    if (gui_mode(command_text)) {
        show_gui_closing_lines(settings);
    } else {
        console_print("\n\n  Encoding Process is complete... Press Enter to EXIT...");
        console_flush();
        wait_for_enter();
    }
    return 0;
}
