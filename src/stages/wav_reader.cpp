#include "stages/wav_reader.h"

#include <sys/types.h>

namespace {

// The input read forward from its start, never past `limit`.
struct HeaderReader {
    std::FILE* file;
    uint64_t limit;
    uint64_t position;

    bool read(unsigned char* into, std::size_t size) {
        if (size > limit - position) return false;
        std::size_t got = std::fread(into, 1, size, file);
        position += got;
        return got == size;
    }

    bool skip(uint64_t size) {
        if (size > limit - position) return false;
        if (size <= static_cast<uint64_t>(INT64_MAX) && fseeko(file, static_cast<off_t>(size), SEEK_CUR) == 0) {
            position += size;
            return true;
        }
        unsigned char discard[4096];  // a stream that cannot seek is read past
        while (size > 0) {
            std::size_t piece = size < sizeof discard ? static_cast<std::size_t>(size) : sizeof discard;
            if (!read(discard, piece)) return false;
            size -= piece;
        }
        return true;
    }
};

}  // namespace

WavProbe read_wav_header(std::FILE* input, uint64_t file_size, bool raw_input) {
    WavProbe probe{};
    // A stream that cannot seek back (a pipe) is read forward only, and raw
    // input's header is looked for in the 44 bytes that are not encoded anyway.
    probe.seekable = file_size != kUnknownSize && std::fseek(input, 0, SEEK_SET) == 0;
    HeaderReader reader{input, raw_input && !probe.seekable ? kRawSkippedBytes : UINT64_MAX, 0};
    unsigned char riff[kRiffHeaderBytes];
    if (reader.read(riff, sizeof riff) && is_riff_wave(riff)) {
        probe.riff_wave = 1;
        for (;;) {
            unsigned char header[kChunkHeaderBytes];
            if (!reader.read(header, sizeof header)) break;
            ChunkStep step = next_chunk_step(header, reader.position, file_size, probe);
            if (step.action == ChunkAction::read_format) {
                unsigned char body[kFormatBytesRead];
                if (!reader.read(body, step.read_bytes)) break;
                step = take_format_chunk(body, step.read_bytes, step.chunk_size, probe);
            }
            if (step.action == ChunkAction::stop || !reader.skip(step.skip_bytes)) break;
        }
    }
    finish_probe(file_size, raw_input, probe);
    // Leaves the input where the samples begin.
    if (probe.seekable) {
        fseeko(input, static_cast<off_t>(probe.sample_offset), SEEK_SET);
    } else if (reader.position < probe.sample_offset) {
        reader.limit = UINT64_MAX;
        reader.skip(probe.sample_offset - reader.position);
    }
    return probe;
}
