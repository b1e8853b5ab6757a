// The engine from outside: any 331-byte record, then a few chunks of any count
// up to samples-per-chunk, the flush and the close. The engine must either open
// a stream or return an error (and then hold nothing), never touch memory past
// the buffers at the sizes it asked for, and accept every count it promised.
//
// Fuzz bytes: a byte of choices, two bytes for each of four chunks (its count,
// where 0xFE is a full chunk and 0xFF ends the chunks,
// and the seed of its samples), then the record (zero-padded). Half of the inputs get a
// record whose kind, version and size are right, so the fuzzer gets past those
// checks; some also get rates, bitrates and modes from the sets a real record
// holds, so that streams open and encode.
#include <cstring>
#include <memory>

#include "engine_interface/engine_api.h"
#include "fuzz_support.h"
#include "lame_enc_codes.h"

namespace {

constexpr std::size_t kMaxChunks = 4;
// 32 MP3 frames of 576 samples at 8 kHz, taken in from 48 kHz stereo.
constexpr uint32_t kLargestChunk = 32 * 576 * 6 * 2;
// libmp3lame's own largest output buffer, the least the engine may ask for.
constexpr uint32_t kLameLargestBuffer = 16384 + 128 * 1024;
// The engine opens streams that upsample from rates as low as 1 Hz; their
// chunks and flush are huge and take seconds. Beyond this buffer size a
// stream is closed at once, so that each input stays fast.
constexpr uint32_t kLargestFedBuffer = 16u << 20;

enum Choice : uint8_t {
    kRightForm = 1,       // kind 256, version 1, size 331
    kRealValues = 2,      // rates, bitrates and modes from the sets a record holds
    kEncodeAfterFlush = 4,
};

template <typename T, std::size_t N>
T pick(const T (&set)[N], uint32_t raw) {
    return set[raw % N];
}

// Values a real record holds, and a few beside them that the engine must refuse
// or adjust.
void give_real_values(EngineConfig& config) {
    static const uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 0, 96000, 1};
    static const uint32_t kBitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0, 8, 999};
    config.input_rate = pick(kRates, config.input_rate);
    config.output_rate = pick(kRates, config.output_rate);
    config.bitrate = pick(kBitrates, config.bitrate);
    config.max_bitrate = pick(kBitrates, config.max_bitrate);
    config.mode = static_cast<int32_t>(static_cast<uint32_t>(config.mode) % 5);
    config.vbr_flag %= 2;
    config.abr %= 2;
    config.vbr_quality = static_cast<int32_t>(static_cast<uint32_t>(config.vbr_quality) % 11) - 1;
    config.vbr_method = static_cast<int32_t>(static_cast<uint32_t>(config.vbr_method) % 5) - 1;
    config.emphasis %= 4;
    config.quality %= 11;
    if (config.preset % 4 != 0) config.preset = -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    constexpr std::size_t kChunkBytes = 2 * kMaxChunks;
    if (size < 1 + kChunkBytes) return 0;
    const uint8_t choices = data[0];
    const uint8_t* chunks = data + 1;
    const uint8_t* record_bytes = data + 1 + kChunkBytes;
    const std::size_t record_size = size - 1 - kChunkBytes;
    EngineConfig config;
    std::memset(&config, 0, sizeof config);
    std::memcpy(&config, record_bytes, record_size < sizeof config ? record_size : sizeof config);

    if (choices & kRightForm) {
        config.config_kind = kEngineConfigKind;
        config.struct_version = kEngineConfigVersion;
        config.struct_size = kEngineConfigSize;
        if (choices & kRealValues) give_real_values(config);
    }

    // The engine takes the record by pointer: give it exactly 331 bytes.
    auto record = std::make_unique<EngineConfig>(config);
    uint32_t samples_per_chunk = 0, output_buffer_size = 0;
    EngineStream stream = 0;
    EngineResult opened = beInitStream(record.get(), &samples_per_chunk, &output_buffer_size, &stream);
    FUZZ_CHECK(std::memcmp(record.get(), &config, sizeof config) == 0);  // the record is read only
    // One stream at a time is open here, so running out of slots means that a
    // failed open or a close kept one.
    FUZZ_CHECK(opened != kLameEncNoFreeStream);
    if (opened != kLameEncOk) return 0;

    FUZZ_CHECK(samples_per_chunk > 0 && samples_per_chunk <= kLargestChunk);
    FUZZ_CHECK(output_buffer_size >= kLameLargestBuffer);
    if (output_buffer_size > kLargestFedBuffer) {
        FUZZ_CHECK(beCloseStream(stream) == kLameEncOk);
        return 0;
    }

    // Heap buffers of exactly the sizes given, so a write past them is caught.
    std::unique_ptr<uint8_t[]> output(new uint8_t[output_buffer_size]);
    // The chunk's count is drawn first, from 0 (which must be refused) to samples-per-chunk.
    for (std::size_t i = 0; i < kMaxChunks && chunks[2 * i] != 0xFF; ++i) {
        const uint32_t count = chunks[2 * i] == 0xFE ? samples_per_chunk
                                                     : chunks[2 * i] * 1153u % (samples_per_chunk + 1);
        std::unique_ptr<int16_t[]> samples(new int16_t[count == 0 ? 1 : count]);
        uint32_t state = chunks[2 * i + 1] * 2654435761u + 1;
        for (uint32_t s = 0; s < count; ++s) {
            state = state * 1664525u + 1013904223u;
            samples[s] = static_cast<int16_t>(state >> 16);
        }
        uint32_t output_bytes = UINT32_MAX;
        EngineResult result = beEncodeChunk(stream, count, samples.get(), output.get(), &output_bytes);
        if (count == 0) {
            FUZZ_CHECK(result != kLameEncOk);
            continue;
        }
        FUZZ_CHECK(result == kLameEncOk);
        FUZZ_CHECK(output_bytes <= output_buffer_size);
    }

    uint32_t flushed_bytes = UINT32_MAX;
    FUZZ_CHECK(beDeinitStream(stream, output.get(), &flushed_bytes) == kLameEncOk);
    FUZZ_CHECK(flushed_bytes <= output_buffer_size);
    if (choices & kEncodeAfterFlush) {
        int16_t sample = 0;
        uint32_t output_bytes = 0;
        FUZZ_CHECK(beEncodeChunk(stream, 1, &sample, output.get(), &output_bytes) != kLameEncOk);
        FUZZ_CHECK(beDeinitStream(stream, output.get(), &output_bytes) != kLameEncOk);
    }
    FUZZ_CHECK(beCloseStream(stream) == kLameEncOk);
    // A closed handle is refused, not followed.
    FUZZ_CHECK(beCloseStream(stream) != kLameEncOk);
    return 0;
}
