// The input's header and the command text together, as the run sees them:
// the header probe and its verdict, then, for an accepted input, the settings
// rules. Whatever the bytes and switches, the engine may only be asked for
// rates and bitrates it has, and the two records must agree on the mode.
//
// Fuzz bytes: the first gives the header's length (0 to 160), the header bytes
// follow, and the rest is the argument vector, entries split at zero bytes,
// the program's path first.
#include <algorithm>
#include <cstring>

#include "decisions/command_line.h"
#include "fuzz_support.h"
#include "decisions/engine_record.h"
#include "decisions/run_settings.h"
#include "decisions/settings_rules.h"
#include "decisions/wav_header.h"
#include "stages/wav_reader.h"

namespace {

constexpr std::size_t kMaxHeaderBytes = 160;

constexpr uint32_t kInputRates[] = {32000, 44100, 48000};
constexpr uint32_t kOutputRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr uint32_t kBitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

template <std::size_t N>
bool one_of(uint32_t value, const uint32_t (&set)[N]) {
    for (uint32_t member : set)
        if (value == member) return true;
    return false;
}

bool is_bitrate(int value) { return value > 0 && one_of(static_cast<uint32_t>(value), kBitrates); }
bool is_max_bitrate(int value) { return value == 0 || is_bitrate(value); }

// The engine's mode code that goes with each channel-mode kind.
int32_t engine_mode_of(int mode_kind) {
    static const struct {
        int mode_kind;
        int32_t engine_mode;
    } kPairs[] = {
        {kModeStereo, kEngineModeStereo},
        {kModeMono, kEngineModeMono},
        {kModeJointStereo, kEngineModeJointStereo},
        {kModeDualChannel, kEngineModeDualChannel},
    };
    for (const auto& pair : kPairs)
        if (pair.mode_kind == mode_kind) return pair.engine_mode;
    return -1;
}

WavProbe probe_of(const uint8_t* header, std::size_t length, bool raw_input) {
    // fmemopen refuses an empty buffer; an empty file is what it stands for.
    uint8_t copy[kMaxHeaderBytes];
    std::memcpy(copy, header, length);
    std::FILE* file = length == 0 ? std::fopen("/dev/null", "rb") : fmemopen(copy, length, "rb");
    FUZZ_CHECK(file != nullptr);
    WavProbe probe = read_wav_header(file, length, raw_input);
    std::fclose(file);

    // The samples lie within the file, and progress counts them as behind a 44-byte header.
    FUZZ_CHECK(probe.sample_offset + probe.sample_bytes <= (raw_input ? std::max<uint64_t>(length, 44) : length));
    if (raw_input) {
        FUZZ_CHECK(probe.sample_offset == 44 && probe.input_size == length);
        // Headerless data says nothing of its channels.
        if (length < 12 || std::memcmp(header, "RIFF", 4) != 0) FUZZ_CHECK(probe.channels == 0);
    } else {
        FUZZ_CHECK(probe.input_size == 44 + probe.sample_bytes);
        if (probe.data_found) FUZZ_CHECK(probe.sample_offset >= 20 && probe.sample_offset <= length);
    }
    return probe;
}

void check_verdicts(const WavProbe& probe) {
    uint32_t rate = detected_rate(probe);
    FUZZ_CHECK(rate == 0 || one_of(rate, kInputRates));
    FUZZ_CHECK(judge_wav_probe(probe, true) == ProbeVerdict::accepted);
    if (judge_wav_probe(probe, false) == ProbeVerdict::accepted) {
        FUZZ_CHECK(probe.riff_wave == 1 && probe.format_found == 1 && probe.data_found == 1);
        FUZZ_CHECK(probe.pcm_flag == 1 && (probe.channels == 1 || probe.channels == 2));
        FUZZ_CHECK(rate != 0 && rate == probe.sample_rate);
        FUZZ_CHECK(probe.bits_per_sample == 16);
    }
}

void check_settings(const EngineConfig& config, const RunSettings& settings) {
    // The record's form is the engine's to check and never the rules' to change.
    FUZZ_CHECK(config.config_kind == kEngineConfigKind);
    FUZZ_CHECK(config.struct_version == kEngineConfigVersion);
    FUZZ_CHECK(config.struct_size == kEngineConfigSize);

    FUZZ_CHECK(one_of(config.input_rate, kInputRates));
    FUZZ_CHECK(settings.input_rate == static_cast<int>(config.input_rate));
    FUZZ_CHECK(one_of(config.output_rate, kOutputRates));

    FUZZ_CHECK(is_bitrate(static_cast<int>(config.bitrate)));
    FUZZ_CHECK(is_bitrate(settings.bitrate));
    FUZZ_CHECK(is_max_bitrate(static_cast<int>(config.max_bitrate)));
    FUZZ_CHECK(is_max_bitrate(settings.max_bitrate));
    FUZZ_CHECK(is_max_bitrate(settings.effective_bitrate));

    FUZZ_CHECK(config.vbr_quality >= 0 && config.vbr_quality <= 9);
    FUZZ_CHECK(settings.vbr_quality >= 0 && settings.vbr_quality <= 9);
    FUZZ_CHECK(config.vbr_flag <= 1 && settings.vbr_flag >= 0 && settings.vbr_flag <= 1);

    FUZZ_CHECK(config.mode >= 0 && config.mode <= 3);
    FUZZ_CHECK(engine_mode_of(settings.mode_kind) == config.mode);
    FUZZ_CHECK(settings.progress_style == kProgressStatistics || settings.progress_style == kProgressBar);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t header_length = data[0] % (kMaxHeaderBytes + 1);
    if (header_length > size - 1) header_length = size - 1;
    const uint8_t* header = data + 1;

    // The first entry stands for the program's path, which takes no part in the switches.
    std::vector<std::string> entries =
        fuzz::split_entries(header + header_length, size - 1 - header_length);
    std::vector<const char*> pointers = fuzz::pointers_to(entries);
    CommandText command_text;
    if (!build_command_text(static_cast<int>(entries.size()) - 1, pointers.data() + 1, command_text)) return 0;
    const bool raw_input = raw_input_requested(command_text);

    WavProbe probe = probe_of(header, header_length, raw_input);
    check_verdicts(probe);

    // The rules run only on an input that the probe let through.
    if (judge_wav_probe(probe, raw_input) != ProbeVerdict::accepted) return 0;
    RunSettings settings = resolve_settings(read_switches(command_text), static_cast<int>(entries.size()), probe);
    check_settings(engine_config_of(settings), settings);
    return 0;
}
