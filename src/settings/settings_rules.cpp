// The settings rules. Switches are not parsed: a switch counts when its spelling
// occurs anywhere in the command text, so a spelling inside a longer one or inside
// a file name counts too. What settles contradicting switches is the fixed order
// below (rules 1 to 24, applied in that order, each overwriting what the earlier
// ones stored) and, within a table, the row order: the last present row wins.
#include "settings/settings_rules.h"

#include <cstdint>

#include "frontend/command_text.h"

namespace {

struct SpellingValue {
    const char* spelling;
    int value;
};

// Ascending, so "-b320" (which contains "-b32") wins over "-b32".
constexpr SpellingValue kBitrateRows[] = {
    {"-b32", 32},   {"-b40", 40},   {"-b48", 48},   {"-b56", 56},   {"-b64", 64},
    {"-b80", 80},   {"-b96", 96},   {"-b112", 112}, {"-b128", 128}, {"-b160", 160},
    {"-b192", 192}, {"-b224", 224}, {"-b256", 256}, {"-b320", 320},
};

constexpr SpellingValue kInputRateRows[] = {
    {"-s32000", 32000},
    {"-s44100", 44100},
    {"-s48000", 48000},
};

constexpr SpellingValue kVbrQualityRows[] = {
    {"-V0", 0}, {"-V1", 1}, {"-V2", 2}, {"-V3", 3}, {"-V4", 4},
    {"-V5", 5}, {"-V6", 6}, {"-V7", 7}, {"-V8", 8}, {"-V9", 9},
};

constexpr SpellingValue kMaxBitrateRows[] = {
    {"-B32", 32},   {"-B40", 40},   {"-B48", 48},   {"-B56", 56},   {"-B64", 64},
    {"-B80", 80},   {"-B96", 96},   {"-B112", 112}, {"-B128", 128}, {"-B160", 160},
    {"-B192", 192}, {"-B224", 224}, {"-B256", 256}, {"-B320", 320},
};

// "-md" wins over "-mm", which wins over "-mj" and "-ms".
constexpr SpellingValue kModeRows[] = {
    {"-ms", kModeStereo},
    {"-mj", kModeJointStereo},
    {"-mm", kModeMono},
    {"-md", kModeDualChannel},
};

// The channel mode lives in both records; they always change together, paired so.
struct ModePair {
    int mode_kind;
    int32_t engine_mode;
};

constexpr ModePair kModePairs[] = {
    {kModeStereo, kEngineModeStereo},
    {kModeMono, kEngineModeMono},
    {kModeJointStereo, kEngineModeJointStereo},
    {kModeDualChannel, kEngineModeDualChannel},
};

// Ascending, so the highest rate wins.
struct ResampleRow {
    const char* long_spelling;
    const char* short_spelling;
    uint32_t output_rate;
};

constexpr ResampleRow kResampleRows[] = {
    {"--resample8000", "--resample8", 8000},
    {"--resample11025", "--resample11.025", 11025},
    {"--resample12000", "--resample12", 12000},
    {"--resample16000", "--resample16", 16000},
    {"--resample22050", "--resample22.05", 22050},
    {"--resample24000", "--resample24", 24000},
    {"--resample32000", "--resample32", 32000},
    {"--resample44100", "--resample44.1", 44100},
    {"--resample48000", "--resample48", 48000},
};

// Automatic down-sampling for low bitrates; the first matching row decides.
// A row names one or two bitrates (the second equal to the first when only one);
// `input_rate` 0 matches every input rate.
struct DownsampleRow {
    int bitrates[2];
    bool mono;
    uint32_t input_rate;
    uint32_t output_rate;
};

constexpr DownsampleRow kDownsampleRows[] = {
    {{32, 32}, false, 0, 11025},
    {{40, 48}, false, 0, 16000},
    {{56, 64}, false, 0, 22050},
    {{80, 96}, false, 0, 32000},
    {{112, 112}, false, 48000, 44100},
    {{32, 32}, true, 0, 22050},
    {{40, 48}, true, 0, 32000},
};

constexpr int kDefaultBitrate = 192;  // the default constant bitrate
constexpr uint32_t kDefaultRate = 44100;
constexpr int kVbrMinimum = 32;
constexpr int kVbrMaximum = 256;
constexpr uint32_t kVbrSwitchMaximum = 320;
constexpr uint32_t kVbrFloor = 80;
constexpr int kMonoBitrate = 96;

void set_mode(int mode_kind, EngineConfig& config, RunSettings& settings) {
    for (const ModePair& pair : kModePairs) {
        if (pair.mode_kind == mode_kind) {
            settings.mode_kind = pair.mode_kind;
            config.mode = pair.engine_mode;
        }
    }
}

bool row_matches(const DownsampleRow& row, int effective_bitrate, int mode_kind, uint32_t input_rate) {
    bool bitrate_matches = effective_bitrate == row.bitrates[0] || effective_bitrate == row.bitrates[1];
    bool mode_matches = (mode_kind == kModeMono) == row.mono;
    bool rate_matches = row.input_rate == 0 || row.input_rate == input_rate;
    return bitrate_matches && mode_matches && rate_matches;
}

}  // namespace

void resolve_settings(const CommandText& command_text, int argument_count, const WavProbe& probe,
                      EngineConfig& config, RunSettings& settings) {
    auto present = [&](const char* spelling) { return switch_present(command_text, spelling); };

    // Rule 1: the VBR bitrate pair. It does not switch VBR on by itself.
    if (present("-vbr") || (present("-V") && !(present("-b") && present("-B")))) {
        config.bitrate = kVbrMinimum;
        config.max_bitrate = kVbrMaximum;
        settings.bitrate = kVbrMinimum;
        settings.max_bitrate = kVbrMaximum;
    }

    // Rule 2: the bitrate table.
    for (const SpellingValue& row : kBitrateRows) {
        if (present(row.spelling)) {
            config.bitrate = row.value;
            settings.bitrate = row.value;
        }
    }

    // Rule 3: the input-rate table; the output follows the input.
    for (const SpellingValue& row : kInputRateRows) {
        if (present(row.spelling)) {
            config.input_rate = row.value;
            config.output_rate = row.value;
            settings.input_rate = row.value;
        }
    }

    // Rule 4: "-vbr". The shown maximum (256 from rule 1) and quality stay.
    if (present("-vbr")) {
        config.vbr_flag = 1;
        config.max_bitrate = kVbrSwitchMaximum;
        config.vbr_header_flag = 1;
        config.vbr_quality = 0;
        settings.vbr_flag = 1;
    }

    // Rules 5 to 8: the frame flags. Only the upper-case "-PRIVATE" marks a file
    // private; "-private" contains "-p" and so asks for CRC protection.
    if (present("-PRIVATE")) {
        config.private_flag = 1;
        settings.private_flag = 1;
    }
    if (present("-p")) {
        config.crc_flag = 1;
        settings.crc_flag = 1;
    }
    if (present("-c")) {
        config.copyright_flag = 1;
        settings.copyright_flag = 1;
    }
    if (present("-o")) {
        config.original_flag = 0;
        settings.original_flag = 0;
    }

    // Rule 9: the VBR-quality table; these spellings ask for no VBR header.
    for (const SpellingValue& row : kVbrQualityRows) {
        if (present(row.spelling)) {
            config.vbr_quality = row.value;
            config.vbr_flag = 1;
            settings.vbr_quality = row.value;
            settings.vbr_flag = 1;
        }
    }

    // Rules 10 and 11: the progress line.
    if (present("-PROG1")) settings.progress_style = kProgressBar;
    if (present("-PROG2")) settings.progress_style = kProgressStatistics;

    // Rule 12: the maximum-bitrate table.
    for (const SpellingValue& row : kMaxBitrateRows) {
        if (present(row.spelling)) {
            config.max_bitrate = row.value;
            settings.max_bitrate = row.value;
        }
    }

    // Rule 13: the channel count of the header, also for raw input that has
    // one. 0 says nothing.
    if (probe.channels == 1) {
        set_mode(kModeMono, config, settings);
    } else if (probe.channels >= 2) {
        set_mode(kModeJointStereo, config, settings);
    }

    // Rule 14: the mode table overrides the header.
    for (const SpellingValue& row : kModeRows) {
        if (present(row.spelling)) set_mode(row.value, config, settings);
    }

    // Rules 15 and 16.
    if (present("--nores")) config.no_reservoir_flag = 1;
    if (present("--strictly-enforce-ISO")) config.strict_iso_flag = 1;

    // Rule 17: the single-argument reset. With the input name as the only argument
    // the defaults are stored again, VBR quality 0 in the engine record. A
    // one-channel file keeps Mono: told it was stereo, the engine would read the
    // mono samples as pairs and write half the length at double speed.
    if (argument_count == 2) {
        config.bitrate = kDefaultBitrate;
        config.input_rate = kDefaultRate;
        config.output_rate = kDefaultRate;
        config.vbr_flag = 0;
        config.crc_flag = 0;
        config.vbr_quality = 0;
        config.original_flag = 1;
        settings.bitrate = kDefaultBitrate;
        settings.input_rate = kDefaultRate;
        settings.vbr_flag = 0;
        settings.vbr_quality = 0;
        settings.copyright_flag = 0;
        settings.original_flag = 1;
        settings.private_flag = 0;
        settings.crc_flag = 0;
        set_mode(probe.channels == 1 ? kModeMono : kModeJointStereo, config, settings);
    }

    // Rule 18: the header's rate, unless the input is raw. Overrides rules 3 and 17.
    if (!raw_input_requested(command_text)) {
        uint32_t rate = detected_rate(probe);
        if (rate != 0) {
            config.input_rate = rate;
            config.output_rate = rate;
            settings.input_rate = static_cast<int>(rate);
        }
    }

    // Rule 19: "--ABR" sets the engine's ABR field and nothing else.
    if (present("--ABR")) config.abr = 1;

    // Rule 20: the bitrate that steers down-sampling, taken once; the floor and
    // the mono default below do not change it.
    settings.effective_bitrate = settings.vbr_flag == 1 ? settings.max_bitrate : settings.bitrate;

    // Rule 21: automatic down-sampling.
    for (const DownsampleRow& row : kDownsampleRows) {
        if (row_matches(row, settings.effective_bitrate, settings.mode_kind, config.input_rate)) {
            config.output_rate = row.output_rate;
            break;
        }
    }

    // Rule 22: the resample table overrides the down-sampling.
    for (const ResampleRow& row : kResampleRows) {
        if (present(row.long_spelling) || present(row.short_spelling)) config.output_rate = row.output_rate;
    }

    // Rule 23: the VBR floor, when the engine's maximum is 320 ("-vbr" or "-B320").
    if (config.vbr_flag == 1 && config.max_bitrate == kVbrSwitchMaximum && config.bitrate < kVbrFloor) {
        config.bitrate = kVbrFloor;
        settings.bitrate = static_cast<int>(kVbrFloor);
        settings.fixed_flag = 1;
    }

    // Rule 24: the mono default; it replaces a floor of 80 as well.
    if (settings.mode_kind == kModeMono && !present("-b")) {
        config.bitrate = kMonoBitrate;
        settings.bitrate = kMonoBitrate;
    }
}
