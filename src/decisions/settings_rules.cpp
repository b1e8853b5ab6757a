// The settings rules. A switch counts when its spelling occurs anywhere among
// the switch arguments, so a spelling inside a longer one counts too. What
// settles contradicting switches is the fixed order of the rules below, each
// overwriting what the earlier ones stored, and, within a table of spellings,
// the row order (the command-line decision keeps the last present row).
#include "decisions/settings_rules.h"

namespace {

struct RuleInput {
    const Switches& switches;
    int argument_count;
    const WavProbe& probe;
};

// Automatic down-sampling for low bitrates; the first matching row decides.
// A row names one or two bitrates (the second equal to the first when only one);
// `input_rate` 0 matches every input rate.
struct DownsampleRow {
    int bitrates[2];
    bool mono;
    int input_rate;
    int output_rate;
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

constexpr int kVbrMinimum = 32;
constexpr int kVbrMaximum = 256;
constexpr int kVbrSwitchMaximum = 320;
constexpr int kVbrFloor = 80;
constexpr int kMonoBitrate = 96;

// What the single-argument reset stores again, from the defaults.
constexpr int RunSettings::*kSingleArgumentDefaults[] = {
    &RunSettings::bitrate,        &RunSettings::input_rate,     &RunSettings::output_rate,
    &RunSettings::vbr_flag,       &RunSettings::vbr_quality,    &RunSettings::crc_flag,
    &RunSettings::original_flag,  &RunSettings::copyright_flag, &RunSettings::private_flag,
};

bool row_matches(const DownsampleRow& row, int effective_bitrate, int mode_kind, int input_rate) {
    bool bitrate_matches = effective_bitrate == row.bitrates[0] || effective_bitrate == row.bitrates[1];
    bool mode_matches = (mode_kind == kModeMono) == row.mono;
    bool rate_matches = row.input_rate == 0 || row.input_rate == input_rate;
    return bitrate_matches && mode_matches && rate_matches;
}

int channel_mode(uint32_t channels) { return channels == 1 ? kModeMono : kModeJointStereo; }

using RuleAction = void (*)(const RuleInput& in, RunSettings& s);

struct Rule {
    const char* what;
    RuleAction apply;
};

constexpr Rule kRules[] = {
    {"the VBR bitrate pair; it does not switch VBR on by itself",
     [](const RuleInput& in, RunSettings& s) {
         const Switches& sw = in.switches;
         if (sw.vbr || (sw.vbr_letter && !(sw.bitrate_letter && sw.max_bitrate_letter))) {
             s.bitrate = kVbrMinimum;
             s.max_bitrate = kVbrMaximum;
             s.engine_max_bitrate = kVbrMaximum;
         }
     }},
    {"the bitrate table",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.bitrate != 0) s.bitrate = in.switches.bitrate;
     }},
    {"the input-rate table; the output follows the input",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.input_rate == 0) return;
         s.input_rate = in.switches.input_rate;
         s.output_rate = in.switches.input_rate;
     }},
    {"-vbr: the engine's maximum 320 with a VBR header; the shown maximum and quality stay",
     [](const RuleInput& in, RunSettings& s) {
         if (!in.switches.vbr) return;
         s.vbr_flag = 1;
         s.engine_max_bitrate = kVbrSwitchMaximum;
         s.vbr_header_flag = 1;
         s.engine_vbr_quality = 0;
     }},
    {"the frame flags",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.private_flag) s.private_flag = 1;
         if (in.switches.crc) s.crc_flag = 1;
         if (in.switches.copyright) s.copyright_flag = 1;
         if (in.switches.copy) s.original_flag = 0;
     }},
    {"the VBR-quality table; these spellings ask for no VBR header",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.vbr_quality < 0) return;
         s.vbr_quality = in.switches.vbr_quality;
         s.engine_vbr_quality = in.switches.vbr_quality;
         s.vbr_flag = 1;
     }},
    {"the progress line",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.progress_style >= 0) s.progress_style = in.switches.progress_style;
     }},
    {"the maximum-bitrate table",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.max_bitrate == 0) return;
         s.max_bitrate = in.switches.max_bitrate;
         s.engine_max_bitrate = in.switches.max_bitrate;
     }},
    {"the header's channel count, also for raw input that has one; 0 says nothing",
     [](const RuleInput& in, RunSettings& s) {
         if (in.probe.channels != 0) s.mode_kind = channel_mode(in.probe.channels);
     }},
    {"the mode table overrides the header",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.mode_kind != 0) s.mode_kind = in.switches.mode_kind;
     }},
    {"--nores and --strictly-enforce-ISO",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.no_reservoir) s.no_reservoir_flag = 1;
         if (in.switches.strict_iso) s.strict_iso_flag = 1;
     }},
    {"the single-argument reset: the defaults again, VBR quality 0 in the engine record, and a "
     "one-channel file kept Mono (told it was stereo, the engine would play it at double speed)",
     [](const RuleInput& in, RunSettings& s) {
         if (in.argument_count != 2) return;
         const RunSettings defaults;
         for (int RunSettings::*field : kSingleArgumentDefaults) s.*field = defaults.*field;
         s.engine_vbr_quality = defaults.vbr_quality;
         s.mode_kind = channel_mode(in.probe.channels);
     }},
    {"the header's rate, unless the input is raw; it overrides -s and the reset",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.raw_input) return;
         uint32_t rate = detected_rate(in.probe);
         if (rate == 0) return;
         s.input_rate = static_cast<int>(rate);
         s.output_rate = static_cast<int>(rate);
     }},
    {"--ABR sets the engine's ABR field and nothing else",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.abr) s.abr_flag = 1;
     }},
    {"the bitrate that steers down-sampling, taken once; the floor and the mono default do not change it",
     [](const RuleInput&, RunSettings& s) { s.effective_bitrate = s.vbr_flag == 1 ? s.max_bitrate : s.bitrate; }},
    {"automatic down-sampling",
     [](const RuleInput&, RunSettings& s) {
         for (const DownsampleRow& row : kDownsampleRows) {
             if (row_matches(row, s.effective_bitrate, s.mode_kind, s.input_rate)) {
                 s.output_rate = row.output_rate;
                 return;
             }
         }
     }},
    {"the resample table overrides the down-sampling",
     [](const RuleInput& in, RunSettings& s) {
         if (in.switches.resample_rate != 0) s.output_rate = in.switches.resample_rate;
     }},
    {"the VBR floor, when the engine's maximum is 320 (-vbr or -B320)",
     [](const RuleInput&, RunSettings& s) {
         if (s.vbr_flag != 1 || s.engine_max_bitrate != kVbrSwitchMaximum || s.bitrate >= kVbrFloor) return;
         s.bitrate = kVbrFloor;
         s.fixed_flag = 1;
     }},
    {"the mono default; it replaces a floor of 80 as well",
     [](const RuleInput& in, RunSettings& s) {
         if (s.mode_kind == kModeMono && !in.switches.bitrate_letter) s.bitrate = kMonoBitrate;
     }},
};

}  // namespace

RunSettings resolve_settings(const Switches& switches, int argument_count, const WavProbe& probe) {
    RunSettings settings;
    settings.gui = switches.gui;
    settings.raw_input = switches.raw_input;
    const RuleInput input{switches, argument_count, probe};
    for (const Rule& rule : kRules) rule.apply(input, settings);
    return settings;
}
