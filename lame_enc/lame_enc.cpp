// lame_enc.dll: the encoder engine's six entry points, built on libmp3lame.
//
// Streams live in a fixed table; a handle is a slot number and the slot's
// generation, so a closed or made-up handle is recognised and refused without
// touching memory. The engine prints nothing: libmp3lame's message callbacks
// are silenced on every stream. The first frame of every stream is reserved
// for the LAME tag, which beDeinitStream keeps and beWriteVBRHeader writes into
// the finished file.

#include <fcntl.h>
#include <lame/lame.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstddef>
#include <cstring>

#include "engine_interface/engine_api.h"
#include "lame_enc_codes.h"

#define LAME_ENC_EXPORT __attribute__((visibility("default")))

namespace {

constexpr uint8_t kLibraryMajor = 1;
constexpr uint8_t kLibraryMinor = 32;
constexpr uint8_t kReleaseDay = 11;
constexpr uint8_t kReleaseMonth = 12;
constexpr uint16_t kReleaseYear = 2026;

constexpr uint32_t kStreamSlots = 16;

// MP3 frames per chunk. The program prints and flushes one progress line per
// chunk, and each line costs a write and a wake-up of whoever reads the screen
// output (about 12 us here), against 110 to 290 us of encoding per frame. At 32
// frames the lines cost under 0.5 % of the run even in the fastest mode (mono),
// while they still come over 100 times a second and the first within about
// 12 ms (README, Performance).
constexpr uint32_t kFramesPerChunk = 32;

// The largest Layer III frame of a standard bitrate is 1441 bytes; twice that
// leaves room for whatever libmp3lame could ask for.
constexpr size_t kMaxTagBytes = 2882;

enum class StreamState : uint8_t { unused, encoding, flushed };

struct StreamSlot {
    lame_t lame = nullptr;
    uint32_t generation = 0;
    StreamState state = StreamState::unused;
    uint32_t channels = 0;
    uint32_t samples_per_chunk = 0;
    uint32_t output_buffer_size = 0;
};

// The program is single-threaded and opens one stream per run; the table only
// has to outlast misuse, not serve many users.
StreamSlot g_streams[kStreamSlots];
uint32_t g_last_generation = 0;

// The LAME tag frame of the most recently flushed stream (none: size 0).
uint8_t g_tag[kMaxTagBytes];
size_t g_tag_size = 0;

void be_silent(const char*, va_list) {}

EngineStream make_handle(uint32_t slot, uint32_t generation) {
    return generation * kStreamSlots + slot;
}

StreamSlot* find_stream(EngineStream handle) {
    StreamSlot& slot = g_streams[handle % kStreamSlots];
    uint32_t generation = handle / kStreamSlots;
    if (slot.state == StreamState::unused || generation == 0 || slot.generation != generation)
        return nullptr;
    return &slot;
}

// Generations run from 1 up and never reach the value that would make a
// handle overflow 32 bits, so every live handle is unique and never 0.
uint32_t next_generation() {
    constexpr uint32_t kLastGeneration = UINT32_MAX / kStreamSlots;
    g_last_generation = g_last_generation >= kLastGeneration ? 1 : g_last_generation + 1;
    return g_last_generation;
}

// The sample rates of MPEG audio; libmp3lame would take any other input rate
// and resample from it, at great cost for absurd ones such as 1 Hz.
bool mpeg_rate(uint32_t rate) {
    static const uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    for (uint32_t known : kRates)
        if (rate == known) return true;
    return false;
}

// Checks of the record that need no library: its form, the rates, and the
// average bitrate that libmp3lame would abort on (a lower bound above the maximum).
EngineResult check_record(const EngineConfig& config) {
    if (config.config_kind != kEngineConfigKind) return kLameEncBadConfigKind;
    if (config.struct_version != kEngineConfigVersion) return kLameEncBadConfigVersion;
    if (config.struct_size != kEngineConfigSize) return kLameEncBadConfigSize;
    // An output rate of 0 lets libmp3lame choose one for the bitrate.
    if (!mpeg_rate(config.input_rate) || (config.output_rate != 0 && !mpeg_rate(config.output_rate)))
        return kLameEncSettingsRefused;
    bool abr = config.vbr_flag == 0 && config.abr != 0;
    if (abr && config.max_bitrate != 0 && config.bitrate > config.max_bitrate) return kLameEncAbrRange;
    return kLameEncOk;
}

// The record's VBR method codes; 2 is LAME's default VBR mode.
bool vbr_mode_of(int32_t method, vbr_mode& mode) {
    static const vbr_mode kModes[] = {vbr_default, vbr_rh, vbr_mtrh, vbr_mt};
    if (method < 0 || method >= static_cast<int32_t>(sizeof kModes / sizeof kModes[0])) return false;
    mode = kModes[method];
    return true;
}

bool mpeg_mode_of(int32_t code, MPEG_mode& mode) {
    static const MPEG_mode kModes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    if (code < 0 || code >= static_cast<int32_t>(sizeof kModes / sizeof kModes[0])) return false;
    mode = kModes[code];
    return true;
}

int as_int(uint32_t value) {
    return value > static_cast<uint32_t>(INT32_MAX) ? -1 : static_cast<int>(value);
}

// Hands the record to libmp3lame. Values libmp3lame adjusts (a bitrate the
// output rate's MPEG version lacks) are left to it; values it refuses make
// the stream fail. Fields at their neutral value leave libmp3lame's defaults.
EngineResult apply_record(lame_t lame, const EngineConfig& config) {
    MPEG_mode mode;
    if (!mpeg_mode_of(config.mode, mode)) return kLameEncSettingsRefused;
    int failed = 0;
    failed |= lame_set_in_samplerate(lame, as_int(config.input_rate));
    failed |= lame_set_out_samplerate(lame, as_int(config.output_rate));
    failed |= lame_set_num_channels(lame, mode == MONO ? 1 : 2);
    failed |= lame_set_mode(lame, mode);

    if (config.vbr_flag != 0) {
        vbr_mode vbr;
        if (!vbr_mode_of(config.vbr_method, vbr)) return kLameEncSettingsRefused;
        failed |= lame_set_VBR(lame, vbr);
        failed |= lame_set_VBR_q(lame, config.vbr_quality);
        failed |= lame_set_VBR_min_bitrate_kbps(lame, as_int(config.bitrate));
        if (config.max_bitrate != 0)
            failed |= lame_set_VBR_max_bitrate_kbps(lame, as_int(config.max_bitrate));
    } else if (config.abr != 0) {
        // The maximum is left to libmp3lame: with one near the average it can
        // find no frame size that holds a frame and aborts the process.
        failed |= lame_set_VBR(lame, vbr_abr);
        failed |= lame_set_VBR_mean_bitrate_kbps(lame, as_int(config.bitrate));
    } else {
        failed |= lame_set_brate(lame, as_int(config.bitrate));
    }

    failed |= lame_set_extension(lame, config.private_flag != 0);
    failed |= lame_set_error_protection(lame, config.crc_flag != 0);
    failed |= lame_set_copyright(lame, config.copyright_flag != 0);
    failed |= lame_set_original(lame, config.original_flag != 0);
    failed |= lame_set_emphasis(lame, as_int(config.emphasis));
    if (config.no_reservoir_flag != 0) failed |= lame_set_disable_reservoir(lame, 1);
    if (config.strict_iso_flag != 0) failed |= lame_set_strict_ISO(lame, MDB_STRICT_ISO);
    // Quality 0 would be the slowest setting, not the default.
    if (config.quality != 0) failed |= lame_set_quality(lame, config.quality);
    if (config.preset != -1) failed |= lame_set_preset(lame, config.preset) < 0 ? -1 : 0;
    return failed != 0 ? kLameEncSettingsRefused : kLameEncOk;
}

// libmp3lame accepts average bitrate with a minimum above the maximum (a preset
// can bring it about, whatever the record's own bitrates) and then aborts the
// process on the first frame it encodes.
bool abr_bounds_crossed(lame_t lame) {
    if (lame_get_VBR(lame) != vbr_abr) return false;
    int minimum = lame_get_VBR_min_bitrate_kbps(lame);
    int maximum = lame_get_VBR_max_bitrate_kbps(lame);
    return minimum != 0 && maximum != 0 && minimum > maximum;
}

// The input samples per channel that make kFramesPerChunk MP3 frames: a frame
// holds `frame_size` samples at the output rate, and a resampling stream takes
// in/out times as many at the input rate. Rounded up, so a chunk never holds
// fewer frames.
uint32_t chunk_frames_for(uint32_t frame_size, uint32_t input_rate, uint32_t output_rate) {
    uint64_t output_samples = uint64_t{frame_size} * kFramesPerChunk;
    if (input_rate == 0 || output_rate == 0 || input_rate == output_rate)
        return static_cast<uint32_t>(output_samples);
    return static_cast<uint32_t>((output_samples * input_rate + output_rate - 1) / output_rate);
}

// One chunk's worst-case output, and the flush's: libmp3lame asks for
// 1.25 x samples + 7200 bytes, counted at the output rate, and never less
// than its own maximum buffer.
uint32_t output_buffer_size_for(uint32_t chunk_samples, uint32_t input_rate, uint32_t output_rate) {
    uint64_t samples = chunk_samples;
    if (input_rate != 0 && output_rate > input_rate)
        samples = (samples * output_rate + input_rate - 1) / input_rate;
    uint64_t size = samples + (samples + 3) / 4 + 7200;
    if (size < LAME_MAXMP3BUFFER) size = LAME_MAXMP3BUFFER;
    return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

// Keeps the finished stream's LAME tag frame, or forgets the last one when
// this stream has none (libmp3lame writes none where it does not fit a frame).
void keep_tag(lame_t lame) {
    size_t size = lame_get_lametag_frame(lame, g_tag, sizeof g_tag);
    g_tag_size = (size >= 4 && size <= sizeof g_tag) ? size : 0;
}

// The reserved frame and the final tag carry the same header, except for the
// joint-stereo mode extension: libmp3lame fills the tag's from the last frame
// it encoded, the reserved frame's from none.
bool same_frame_header(const uint8_t* file, const uint8_t* tag) {
    constexpr uint8_t kModeExtension = 0x30;
    return file[0] == tag[0] && file[1] == tag[1] && file[2] == tag[2] &&
           (file[3] & ~kModeExtension) == (tag[3] & ~kModeExtension);
}

bool read_exact(int fd, uint8_t* into, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(done));
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool write_exact(int fd, const uint8_t* from, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t put = pwrite(fd, from + done, size - done, static_cast<off_t>(done));
        if (put <= 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

// Hands libmp3lame a chunk's `frames` (samples per channel) in pieces of one
// frame's size: it copies each call's samples into float buffers as large as
// the call, which a chunk of several frames would grow for nothing. How the
// samples are cut into calls does not change a byte of its output. Returns the
// bytes made, or libmp3lame's negative code.
int encode_in_pieces(lame_t lame, uint32_t channels, short* pcm, uint32_t frames, uint8_t* output, int size) {
    const uint32_t piece_frames = static_cast<uint32_t>(lame_get_framesize(lame));
    int produced = 0;
    for (uint32_t done = 0; done < frames;) {
        const uint32_t piece = frames - done < piece_frames ? frames - done : piece_frames;
        short* first = pcm + static_cast<size_t>(done) * channels;
        // One channel: the interleaved call would read twice as many values.
        int more = channels == 1
                       ? lame_encode_buffer(lame, first, first, as_int(piece), output + produced, size - produced)
                       : lame_encode_buffer_interleaved(lame, first, as_int(piece), output + produced,
                                                        size - produced);
        if (more < 0) return more;
        produced += more;
        done += piece;
    }
    return produced;
}

}  // namespace

LAME_ENC_EXPORT void beVersion(EngineVersion* version) {
    if (version == nullptr) return;
    lame_version_t lame_version;
    get_lame_version_numerical(&lame_version);
    std::memset(version, 0, sizeof *version);
    version->library_major = kLibraryMajor;
    version->library_minor = kLibraryMinor;
    version->engine_major = static_cast<uint8_t>(lame_version.major);
    version->engine_minor = static_cast<uint8_t>(lame_version.minor);
    version->release_day = kReleaseDay;
    version->release_month = kReleaseMonth;
    version->release_year = kReleaseYear;
}

LAME_ENC_EXPORT EngineResult beInitStream(EngineConfig* config, uint32_t* samples_per_chunk,
                                          uint32_t* output_buffer_size, EngineStream* stream) {
    if (config == nullptr || samples_per_chunk == nullptr || output_buffer_size == nullptr ||
        stream == nullptr)
        return kLameEncNullArgument;
    // The first three words say whether the caller's record is ours and whole;
    // only then is all of it read.
    EngineConfig record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, config, offsetof(EngineConfig, input_rate));
    if (record.config_kind == kEngineConfigKind && record.struct_version == kEngineConfigVersion &&
        record.struct_size == kEngineConfigSize)
        std::memcpy(&record, config, sizeof record);
    EngineResult checked = check_record(record);
    if (checked != kLameEncOk) return checked;

    uint32_t slot = 0;
    while (slot < kStreamSlots && g_streams[slot].state != StreamState::unused) ++slot;
    if (slot == kStreamSlots) return kLameEncNoFreeStream;

    lame_t lame = lame_init();
    if (lame == nullptr) return kLameEncOutOfMemory;
    lame_set_errorf(lame, be_silent);
    lame_set_debugf(lame, be_silent);
    lame_set_msgf(lame, be_silent);
    lame_set_write_id3tag_automatic(lame, 0);
    lame_set_bWriteVbrTag(lame, 1);

    EngineResult applied = apply_record(lame, record);
    if (applied == kLameEncOk && lame_init_params(lame) < 0) applied = kLameEncSettingsRefused;
    if (applied == kLameEncOk && abr_bounds_crossed(lame)) applied = kLameEncAbrRange;
    if (applied != kLameEncOk) {
        lame_close(lame);
        return applied;
    }

    StreamSlot& entry = g_streams[slot];
    entry.lame = lame;
    entry.generation = next_generation();
    entry.state = StreamState::encoding;
    entry.channels = static_cast<uint32_t>(lame_get_num_channels(lame));
    const uint32_t input_rate = static_cast<uint32_t>(lame_get_in_samplerate(lame));
    const uint32_t output_rate = static_cast<uint32_t>(lame_get_out_samplerate(lame));
    entry.samples_per_chunk =
        chunk_frames_for(static_cast<uint32_t>(lame_get_framesize(lame)), input_rate, output_rate) *
        entry.channels;
    // The output buffer follows the chunk: libmp3lame's worst case for that many samples.
    entry.output_buffer_size = output_buffer_size_for(entry.samples_per_chunk, input_rate, output_rate);

    *samples_per_chunk = entry.samples_per_chunk;
    *output_buffer_size = entry.output_buffer_size;
    *stream = make_handle(slot, entry.generation);
    return kLameEncOk;
}

LAME_ENC_EXPORT EngineResult beEncodeChunk(EngineStream stream, uint32_t sample_count,
                                           const int16_t* samples, uint8_t* output,
                                           uint32_t* output_bytes) {
    StreamSlot* entry = find_stream(stream);
    if (entry == nullptr) return kLameEncBadHandle;
    if (samples == nullptr || output == nullptr || output_bytes == nullptr) return kLameEncNullArgument;
    if (entry->state != StreamState::encoding) return kLameEncStreamFlushed;
    if (sample_count == 0 || sample_count > entry->samples_per_chunk) return kLameEncBadCount;

    // libmp3lame's buffers hold shorts it never writes; its prototypes lack const.
    short* pcm = const_cast<short*>(reinterpret_cast<const short*>(samples));
    const int size = as_int(entry->output_buffer_size);
    int produced = encode_in_pieces(entry->lame, entry->channels, pcm, sample_count / entry->channels,
                                    output, size);
    if (produced >= 0 && sample_count % entry->channels != 0) {
        // A last value without its partner: pair it with silence.
        short last[2] = {pcm[sample_count - 1], 0};
        int more = lame_encode_buffer_interleaved(entry->lame, last, 1, output + produced, size - produced);
        produced = more < 0 ? more : produced + more;
    }
    if (produced < 0) return kLameEncEncodeFailed;
    *output_bytes = static_cast<uint32_t>(produced);
    return kLameEncOk;
}

LAME_ENC_EXPORT EngineResult beDeinitStream(EngineStream stream, uint8_t* output,
                                            uint32_t* output_bytes) {
    StreamSlot* entry = find_stream(stream);
    if (entry == nullptr) return kLameEncBadHandle;
    if (output == nullptr || output_bytes == nullptr) return kLameEncNullArgument;
    if (entry->state != StreamState::encoding) return kLameEncStreamFlushed;

    int produced = lame_encode_flush(entry->lame, output, as_int(entry->output_buffer_size));
    entry->state = StreamState::flushed;
    if (produced < 0) {
        g_tag_size = 0;
        return kLameEncEncodeFailed;
    }
    // The tag is complete only now, and gone once the stream is closed.
    keep_tag(entry->lame);
    *output_bytes = static_cast<uint32_t>(produced);
    return kLameEncOk;
}

LAME_ENC_EXPORT EngineResult beCloseStream(EngineStream stream) {
    StreamSlot* entry = find_stream(stream);
    if (entry == nullptr) return kLameEncBadHandle;
    lame_close(entry->lame);
    entry->lame = nullptr;
    entry->state = StreamState::unused;
    return kLameEncOk;
}

LAME_ENC_EXPORT EngineResult beWriteVBRHeader(const char* file_name) {
    if (file_name == nullptr) return kLameEncNullArgument;
    if (g_tag_size == 0) return kLameEncNoTag;

    // Non-blocking, so that a FIFO given by mistake cannot hang the open.
    int fd = open(file_name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kLameEncFileOpen;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return kLameEncFileOpen;
    }
    if (static_cast<uint64_t>(info.st_size) < g_tag_size) {
        close(fd);
        return kLameEncFileTooShort;
    }
    // No ID3 tag is written, so the reserved frame is the file's first.
    uint8_t header[4];
    if (!read_exact(fd, header, sizeof header)) {
        close(fd);
        return kLameEncFileTooShort;
    }
    if (!same_frame_header(header, g_tag)) {
        close(fd);
        return kLameEncHeaderMismatch;
    }
    bool written = write_exact(fd, g_tag, g_tag_size);
    if (close(fd) != 0 || !written) return kLameEncFileWrite;
    return kLameEncOk;
}
