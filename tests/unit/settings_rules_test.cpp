// The settings rules, called directly: command line and header in, both records out.
// Each case states only how the result differs from the records' defaults; every
// other byte of the engine record and every other run setting must keep its default.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "decisions/command_line.h"
#include "decisions/engine_record.h"
#include "decisions/run_settings.h"
#include "decisions/settings_rules.h"
#include "decisions/wav_header.h"

namespace {

// The probe of a 16-bit PCM WAV file.
WavProbe wav(uint32_t channels, uint32_t rate) {
    WavProbe probe{};
    probe.riff_wave = 1;
    probe.format_found = 1;
    probe.pcm_flag = 1;
    probe.channels = channels;
    probe.sample_rate = rate;
    probe.bits_per_sample = 16;
    probe.data_found = 1;
    probe.sample_offset = 44;
    return probe;
}

const WavProbe kStereo44 = wav(2, 44100);
const WavProbe kMono44 = wav(1, 44100);
const WavProbe kStereo48 = wav(2, 48000);
const WavProbe kStereo32 = wav(2, 32000);
// Raw samples without a header: nothing is known of their channels.
const WavProbe kRawHeaderless = WavProbe{};

using Expectation = void (*)(EngineConfig& config, RunSettings& settings);

struct Case {
    const char* why;
    std::vector<std::string> args;  // after the program's path
    WavProbe probe;
    Expectation expect;
};

void bitrate(EngineConfig& c, RunSettings& s, int kbps) {
    c.bitrate = kbps;
    s.bitrate = kbps;
}

// What "-vbr" stores besides the bitrate: VBR on with the header, the engine's
// maximum 320 while the shown one stays at 256, and the floor when raised.
void vbr_switch(EngineConfig& c, RunSettings& s, int kbps, uint32_t engine_maximum, bool floor_raised) {
    bitrate(c, s, kbps);
    c.max_bitrate = engine_maximum;
    s.max_bitrate = 256;
    c.vbr_flag = 1;
    s.vbr_flag = 1;
    c.vbr_header_flag = 1;
    c.vbr_quality = 0;
    s.fixed_flag = floor_raised ? 1 : 0;
    s.effective_bitrate = 256;
}

void mode(EngineConfig& c, RunSettings& s, int32_t engine_mode, int mode_kind) {
    c.mode = engine_mode;
    s.mode_kind = mode_kind;
}

void rates(EngineConfig& c, RunSettings& s, uint32_t input, uint32_t output) {
    c.input_rate = input;
    c.output_rate = output;
    s.input_rate = static_cast<int>(input);
}

const Case kCases[] = {
    // --- defaults and the single-argument reset ---
    {"two names and no switch: the defaults", {"in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig&, RunSettings&) {}},
    {"the input alone: the reset stores engine VBR quality 0, not 4", {"in.wav"}, kStereo44,
     [](EngineConfig& c, RunSettings&) { c.vbr_quality = 0; }},
    {"a mono file alone stays Mono through the reset, then gets the mono default", {"in.wav"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         c.vbr_quality = 0;
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);  // the effective bitrate (192) was taken before
     }},
    {"a mono file alone whose name says -ms is still Mono: a name is no switch",
     {"x-ms.wav"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         c.vbr_quality = 0;
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);
     }},
    {"spellings inside the lone name take no part; the header's rate still follows the reset",
     {"a-b64-V5-c-PRIVATE-o-ms.wav"}, kStereo48,
     [](EngineConfig& c, RunSettings& s) {
         c.vbr_quality = 0;
         rates(c, s, 48000, 48000);
     }},

    // --- bitrate table: row order, substrings, separate values ---
    {"-b64 then -b128: the later row wins", {"-b64", "-b128", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 128);
         s.effective_bitrate = 128;
     }},
    {"-b128 then -b64: still the later row, not the later argument", {"-b128", "-b64", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 128);
         s.effective_bitrate = 128;
     }},
    {"-b320 holds -b32 and wins by coming later", {"-b320", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 320);
         s.effective_bitrate = 320;
     }},
    {"-b32 followed by an argument 0 joins into -b320", {"-b32", "0", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 320);
         s.effective_bitrate = 320;
     }},
    {"-b then 128 as separate arguments", {"-b", "128", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 128);
         s.effective_bitrate = 128;
     }},
    {"-b 100 has no row, but -b still blocks the mono default", {"-b", "100", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) { mode(c, s, kEngineModeMono, kModeMono); }},

    // --- channel rule, mode table, mono default ---
    {"a mono file with two names: 96 kbps, rate kept since 192 steered the down-sampling",
     {"in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);
     }},
    {"a mono file with -b128 keeps 128", {"-b128", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 128);
         s.effective_bitrate = 128;
     }},
    {"channel byte 0 says nothing: not taken for mono", {"in.wav", "out.mp3"}, wav(0, 44100),
     [](EngineConfig&, RunSettings&) {}},
    {"-ms on a mono file: the mode table comes after the header", {"-ms", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) { mode(c, s, kEngineModeStereo, kModeStereo); }},
    {"-mm over -mj, whatever the argument order", {"-mm", "-mj", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);
     }},
    {"-md over -mm, -mj and -ms", {"-md", "-mm", "-mj", "-ms", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) { mode(c, s, kEngineModeDualChannel, kModeDualChannel); }},
    {"-mj over -ms", {"-mj", "-ms", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) { mode(c, s, kEngineModeJointStereo, kModeJointStereo); }},
    {"raw data without a header: stereo, whatever its 23rd byte holds", {"-r", "-s48000", "in.raw", "out.mp3"},
     kRawHeaderless, [](EngineConfig& c, RunSettings& s) { rates(c, s, 48000, 48000); }},
    {"raw input that begins with a mono WAV header takes its channel count", {"-r", "-s48000", "in.wav", "out.mp3"},
     kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);
         rates(c, s, 48000, 48000);
     }},

    // --- automatic down-sampling: one case per row, and the edges just outside ---
    {"32 kbps stereo: 11025", {"-b32", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 32);
         s.effective_bitrate = 32;
         c.output_rate = 11025;
     }},
    {"48 kbps, the second bitrate of its row: 16000", {"-b48", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 48);
         s.effective_bitrate = 48;
         c.output_rate = 16000;
     }},
    {"56 kbps: 22050", {"-b56", "in.wav", "out.mp3"}, kStereo32,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 56);
         s.effective_bitrate = 56;
         rates(c, s, 32000, 22050);
     }},
    {"96 kbps on 48 kHz: 32000", {"-b96", "in.wav", "out.mp3"}, kStereo48,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 96);
         s.effective_bitrate = 96;
         rates(c, s, 48000, 32000);
     }},
    {"80 kbps on 32 kHz input leaves 32000", {"-b80", "in.wav", "out.mp3"}, kStereo32,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 80);
         s.effective_bitrate = 80;
         rates(c, s, 32000, 32000);
     }},
    {"112 kbps on 48 kHz: 44100", {"-b112", "in.wav", "out.mp3"}, kStereo48,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 112);
         s.effective_bitrate = 112;
         rates(c, s, 48000, 44100);
     }},
    {"112 kbps on 44.1 kHz: unchanged, that row needs 48 kHz", {"-b112", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 112);
         s.effective_bitrate = 112;
     }},
    {"32 kbps mono: 22050, not the stereo row's 11025", {"-b32", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 32);
         s.effective_bitrate = 32;
         c.output_rate = 22050;
     }},
    {"40 kbps mono: 32000", {"-b40", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 40);
         s.effective_bitrate = 40;
         c.output_rate = 32000;
     }},
    {"56 kbps mono: unchanged, the mono rows end at 48", {"-b56", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 56);
         s.effective_bitrate = 56;
     }},

    // --- VBR: the bitrate pair, the quality table, the floor ---
    {"-V5 alone: 32 to 256, quality 5, no header, no down-sampling, no floor", {"-V5", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 32);
         c.max_bitrate = 256;
         s.max_bitrate = 256;
         c.vbr_flag = 1;
         s.vbr_flag = 1;
         c.vbr_quality = 5;
         s.vbr_quality = 5;
         s.effective_bitrate = 256;
     }},
    {"-V2 and -V7: the higher digit's row comes later", {"-V7", "-V2", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 32);
         c.max_bitrate = 256;
         s.max_bitrate = 256;
         c.vbr_flag = 1;
         s.vbr_flag = 1;
         c.vbr_quality = 7;
         s.vbr_quality = 7;
         s.effective_bitrate = 256;
     }},
    {"-vbr alone: engine maximum 320 and the header; floor to 80; shown maximum stays 256",
     {"-vbr", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         vbr_switch(c, s, 80, 320, true);
     }},
    {"-vbr with -b64: raised to the floor", {"-vbr", "-b64", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         vbr_switch(c, s, 80, 320, true);
     }},
    {"-vbr with -b80: at the floor, not raised", {"-vbr", "-b80", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         vbr_switch(c, s, 80, 320, false);
     }},
    {"-vbr with -B256: the maximum is no longer 320, so no floor", {"-vbr", "-B256", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         vbr_switch(c, s, 32, 256, false);
     }},
    {"-V4 with -B320: the pair fires without -b, and -B320 brings the floor", {"-V4", "-B320", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 80);
         c.max_bitrate = 320;
         s.max_bitrate = 320;
         c.vbr_flag = 1;
         s.vbr_flag = 1;
         c.vbr_quality = 4;
         s.vbr_quality = 4;
         s.fixed_flag = 1;
         s.effective_bitrate = 320;
     }},
    {"-V4 with -b128 and -B192: both letters present, so no pair", {"-V4", "-b128", "-B192", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 128);
         c.max_bitrate = 192;
         s.max_bitrate = 192;
         c.vbr_flag = 1;
         s.vbr_flag = 1;
         c.vbr_quality = 4;
         s.vbr_quality = 4;
         s.effective_bitrate = 192;
     }},
    {"-V4 with bare -b and -B: VBR on with no maximum anywhere; the effective 0 down-samples nothing",
     {"-V4", "-b", "-B", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         c.vbr_flag = 1;
         s.vbr_flag = 1;
         s.vbr_quality = 4;
         s.effective_bitrate = 0;
     }},
    {"-V without a digit: the pair without VBR, so a constant 32 kbps down-sampled", {"-V", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 32);
         c.max_bitrate = 256;
         s.max_bitrate = 256;
         s.effective_bitrate = 32;
         c.output_rate = 11025;
     }},
    {"-V without a digit on a mono file: 22050, then the mono default", {"-V", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         bitrate(c, s, 96);
         c.max_bitrate = 256;
         s.max_bitrate = 256;
         s.effective_bitrate = 32;
         c.output_rate = 22050;
     }},
    {"-vbr on a mono file: the mono default replaces the floor, the fixed flag stays",
     {"-vbr", "in.wav", "out.mp3"}, kMono44,
     [](EngineConfig& c, RunSettings& s) {
         mode(c, s, kEngineModeMono, kModeMono);
         vbr_switch(c, s, 96, 320, true);
     }},

    // --- frame flags, progress style, engine-only flags ---
    {"-PRIVATE marks private and is no -p", {"-PRIVATE", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         c.private_flag = 1;
         s.private_flag = 1;
     }},
    {"lower-case -private is no switch argument: it names the output and changes nothing", {"in.wav", "-private"},
     kStereo44, [](EngineConfig&, RunSettings&) {}},
    {"-c copyright, -o clears original", {"-c", "-o", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         c.copyright_flag = 1;
         s.copyright_flag = 1;
         c.original_flag = 0;
         s.original_flag = 0;
     }},
    {"-PROG2 after -PROG1 in rule order: the statistics line", {"-PROG2", "-PROG1", "in.wav", "out.mp3"},
     kStereo44, [](EngineConfig&, RunSettings& s) { s.progress_style = kProgressStatistics; }},
    {"--nores, --strictly-enforce-ISO and --ABR touch one engine field each",
     {"--nores", "--strictly-enforce-ISO", "--ABR", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings&) {
         c.no_reservoir_flag = 1;
         c.strict_iso_flag = 1;
         c.abr = 1;
     }},
    {"--abr, -q0, -h and -GUI are accepted and change nothing", {"--abr", "-q0", "-h", "-GUI", "in.wav", "out.mp3"},
     kStereo44, [](EngineConfig&, RunSettings&) {}},

    // --- input rate: the header, "-s", raw input ---
    {"the header's 32000", {"in.wav", "out.mp3"}, kStereo32,
     [](EngineConfig& c, RunSettings& s) { rates(c, s, 32000, 32000); }},
    {"-s48000 on a 44.1 kHz header: the header comes later and wins", {"-s48000", "in.wav", "out.mp3"},
     kStereo44, [](EngineConfig&, RunSettings&) {}},
    {"a 16 kHz header (low byte as 48000's) is not taken for 48000", {"in.wav", "out.mp3"}, wav(2, 16000),
     [](EngineConfig&, RunSettings&) {}},
    {"-r: -s decides, the later row of -s32000 and -s48000", {"-r", "-s48000", "-s32000", "in.raw", "out.mp3"},
     kStereo44, [](EngineConfig& c, RunSettings& s) { rates(c, s, 48000, 48000); }},
    {"-r inside a file name is no raw input: the 48 kHz header is read", {"live-rec.wav", "out.mp3"}, kStereo48,
     [](EngineConfig& c, RunSettings& s) { rates(c, s, 48000, 48000); }},

    // --- resample table ---
    {"--resample22050 on a 48 kHz file: the -r inside it is no raw input, so 48000 in",
     {"--resample22050", "in.wav", "out.mp3"}, kStereo48,
     [](EngineConfig& c, RunSettings& s) { rates(c, s, 48000, 22050); }},
    {"-r with a resample switch is raw input: the header's 48000 is not read", {"-r", "--resample22050", "in.wav",
     "out.mp3"}, kStereo48, [](EngineConfig& c, RunSettings&) { c.output_rate = 22050; }},
    {"--resample then 22.05 as separate arguments", {"--resample", "22.05", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings&) { c.output_rate = 22050; }},
    {"--resample16000 and --resample22050: the higher row wins", {"--resample22050", "--resample16000", "in.wav",
     "out.mp3"}, kStereo44, [](EngineConfig& c, RunSettings&) { c.output_rate = 22050; }},
    {"--resample8, the short spelling", {"--resample8", "in.wav", "out.mp3"}, kStereo44,
     [](EngineConfig& c, RunSettings&) { c.output_rate = 8000; }},
    {"--resample44.1 overrides the down-sampling of -b32", {"-b32", "--resample44.1", "in.wav", "out.mp3"},
     kStereo44,
     [](EngineConfig& c, RunSettings& s) {
         bitrate(c, s, 32);
         s.effective_bitrate = 32;
         c.output_rate = 44100;
     }},
    {"-s48000 --resample32 on a WAV: the header's rate wins over -s", {"-s48000", "--resample32", "in.wav",
     "out.mp3"}, kStereo44, [](EngineConfig& c, RunSettings&) { c.output_rate = 32000; }},
};

// Field names of the engine record, for readable failures.
struct EngineField {
    const char* name;
    std::size_t offset;
    std::size_t size;
};

const EngineField kEngineFields[] = {
    {"config_kind", offsetof(EngineConfig, config_kind), 4},
    {"struct_version", offsetof(EngineConfig, struct_version), 4},
    {"struct_size", offsetof(EngineConfig, struct_size), 4},
    {"input_rate", offsetof(EngineConfig, input_rate), 4},
    {"output_rate", offsetof(EngineConfig, output_rate), 4},
    {"mode", offsetof(EngineConfig, mode), 4},
    {"bitrate", offsetof(EngineConfig, bitrate), 4},
    {"max_bitrate", offsetof(EngineConfig, max_bitrate), 4},
    {"preset", offsetof(EngineConfig, preset), 4},
    {"mpeg_version", offsetof(EngineConfig, mpeg_version), 4},
    {"psy_model", offsetof(EngineConfig, psy_model), 4},
    {"emphasis", offsetof(EngineConfig, emphasis), 4},
    {"private_flag", offsetof(EngineConfig, private_flag), 4},
    {"crc_flag", offsetof(EngineConfig, crc_flag), 4},
    {"copyright_flag", offsetof(EngineConfig, copyright_flag), 4},
    {"original_flag", offsetof(EngineConfig, original_flag), 4},
    {"vbr_header_flag", offsetof(EngineConfig, vbr_header_flag), 4},
    {"vbr_flag", offsetof(EngineConfig, vbr_flag), 4},
    {"vbr_quality", offsetof(EngineConfig, vbr_quality), 4},
    {"abr", offsetof(EngineConfig, abr), 4},
    {"vbr_method", offsetof(EngineConfig, vbr_method), 4},
    {"no_reservoir_flag", offsetof(EngineConfig, no_reservoir_flag), 4},
    {"strict_iso_flag", offsetof(EngineConfig, strict_iso_flag), 4},
    {"quality", offsetof(EngineConfig, quality), 2},
    {"reserved", offsetof(EngineConfig, reserved), sizeof(EngineConfig::reserved)},
};

long field_value(const EngineConfig& config, const EngineField& field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&config) + field.offset;
    if (field.size == 2) return bytes[0] | bytes[1] << 8;
    if (field.size == 4) {
        int32_t value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    long nonzero = 0;
    for (std::size_t i = 0; i < field.size; ++i) nonzero += bytes[i] != 0;
    return nonzero;  // the reserved bytes: how many are not zero
}

std::string engine_differences(const EngineConfig& got, const EngineConfig& want) {
    std::ostringstream out;
    for (const EngineField& field : kEngineFields) {
        const auto* a = reinterpret_cast<const unsigned char*>(&got) + field.offset;
        const auto* b = reinterpret_cast<const unsigned char*>(&want) + field.offset;
        if (std::memcmp(a, b, field.size) != 0)
            out << "  EngineConfig." << field.name << ": got " << field_value(got, field) << ", want "
                << field_value(want, field) << "\n";
    }
    return out.str();
}

struct RunField {
    const char* name;
    int RunSettings::*member;
};

const RunField kRunFields[] = {
    {"bitrate", &RunSettings::bitrate},
    {"max_bitrate", &RunSettings::max_bitrate},
    {"vbr_flag", &RunSettings::vbr_flag},
    {"vbr_quality", &RunSettings::vbr_quality},
    {"input_rate", &RunSettings::input_rate},
    {"copyright_flag", &RunSettings::copyright_flag},
    {"original_flag", &RunSettings::original_flag},
    {"private_flag", &RunSettings::private_flag},
    {"crc_flag", &RunSettings::crc_flag},
    {"fixed_flag", &RunSettings::fixed_flag},
    {"effective_bitrate", &RunSettings::effective_bitrate},
    {"mode_kind", &RunSettings::mode_kind},
    {"progress_style", &RunSettings::progress_style},
};

std::string run_differences(const RunSettings& got, const RunSettings& want) {
    std::ostringstream out;
    for (const RunField& field : kRunFields) {
        if (got.*field.member != want.*field.member)
            out << "  RunSettings." << field.name << ": got " << got.*field.member << ", want "
                << want.*field.member << "\n";
    }
    return out.str();
}

TEST(SettingsRules, EachCommandLineGivesItsRecords) {
    for (const Case& test : kCases) {
        std::vector<const char*> arguments;
        for (const std::string& arg : test.args) arguments.push_back(arg.c_str());
        CommandText command_text;
        build_command_text(static_cast<int>(arguments.size()), arguments.data(), command_text);

        RunSettings settings =
            resolve_settings(read_switches(command_text), static_cast<int>(arguments.size()) + 1, test.probe);
        EngineConfig config = engine_config_of(settings);

        EngineConfig want_config;
        RunSettings want_settings;
        init_engine_config(want_config);
        init_run_settings(want_settings);
        want_settings.effective_bitrate = 192;
        test.expect(want_config, want_settings);

        EXPECT_EQ(std::memcmp(&config, &want_config, sizeof config), 0)
            << test.why << " [" << command_text.text << "]\n"
            << engine_differences(config, want_config);
        EXPECT_EQ(run_differences(settings, want_settings), "") << test.why << " [" << command_text.text << "]";
    }
}

}  // namespace
