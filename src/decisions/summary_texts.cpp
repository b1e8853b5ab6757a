// What the run is about to do: the boxed settings summary with the resample
// and estimate lines, or under "-GUI" the header that front ends of the LAME
// command-line encoder expect.
#include "decisions/screen_texts.h"
#include "decisions/text_building.h"

namespace {

const char* mode_text(int mode_kind) {
    static const char* const kModeTexts[5] = {
        "                   ",  // no mode the rules can produce; keeps the box aligned
        "Stereo             ",
        "Mono               ",
        "Joint Stereo       ",
        "Dual Channel       ",
    };
    return mode_kind >= 1 && mode_kind <= 4 ? kModeTexts[mode_kind] : kModeTexts[0];
}

const char* emulation_mode_word(int mode_kind) {
    static const char* const kModeWords[5] = {"stereo", "stereo", "single-ch", "j-stereo", "dual-ch"};
    return mode_kind >= 1 && mode_kind <= 4 ? kModeWords[mode_kind] : kModeWords[0];
}

const char* vbr_text(int flag) { return flag != 0 ? "ON  " : "OFF "; }
const char* flag_text(int flag) { return flag != 0 ? "YES" : "NO "; }

// The PCM data rate of 16-bit stereo, in whole kbps: 1024, 1411 and 1536 for
// the three input rates the settings allow.
float pcm_rate_kbps(int input_rate) {
    return input_rate > 0 ? static_cast<float>(input_rate * 32LL / 1000) : 0.0f;
}

constexpr unsigned char kHorizontal = 0xCD;

}  // namespace

float estimate_output_size(uint64_t input_size, int input_rate, int mode_kind, int bitrate) {
    float pcm_kbps = pcm_rate_kbps(input_rate);
    if (mode_kind == kModeMono) pcm_kbps = static_cast<float>(pcm_kbps * 0.5);
    if (pcm_kbps <= 0.0f) return 0.0f;
    float ratio = static_cast<float>(static_cast<double>(bitrate) / pcm_kbps);
    float output_bytes = static_cast<float>(static_cast<double>(input_size) * ratio);
    // Megabytes of 1,049,024 bytes, the unit the summary has always shown.
    constexpr long double kReciprocal = 1.0L / 1049024.0L;
    return static_cast<float>(output_bytes * kReciprocal);
}

std::string settings_summary_text(const RunSettings& settings, uint32_t engine_input_rate,
                                  uint32_t engine_output_rate, uint64_t input_size) {
    std::string out;
    append_border(out, {{0xC9, 1}, {kHorizontal, 18}, {0xCB, 1}, {kHorizontal, 21}, {0xCB, 1},
                        {kHorizontal, 33}, {0xBB, 1}});
    append_format(out, " \xBA Bitrate: %3dKbps \xBA Samplerate: %02.1fKHz \xBA Sound Mode: %s \xBA\n",
                  settings.bitrate, settings.input_rate * 0.001, mode_text(settings.mode_kind));
    append_border(out, {{0xCC, 1}, {kHorizontal, 18}, {0xCA, 1}, {kHorizontal, 2}, {0xCB, 1},
                        {kHorizontal, 18}, {0xCA, 1}, {kHorizontal, 3}, {0xCB, 1}, {kHorizontal, 16},
                        {0xCB, 1}, {kHorizontal, 12}, {0xB9, 1}});
    append_format(out, " \xBA VBR is switched %s\xBA Max Bitrate: %3dKbps \xBA VBR Quality: %d \xBA Fixed: %s \xBA\n",
                  vbr_text(settings.vbr_flag), settings.effective_bitrate, settings.vbr_quality,
                  flag_text(settings.fixed_flag));
    append_border(out, {{0xCC, 1}, {kHorizontal, 18}, {0xCB, 1}, {kHorizontal, 2}, {0xCA, 1},
                        {kHorizontal, 12}, {0xCB, 1}, {kHorizontal, 9}, {0xCA, 1}, {kHorizontal, 5},
                        {0xCB, 1}, {kHorizontal, 10}, {0xCA, 1}, {kHorizontal, 12}, {0xB9, 1}});
    append_format(out, " \xBA Copyrighted: %s \xBA Original: %s \xBA Private : %s \xBA CRC Protection: %s   \xBA\n",
                  flag_text(settings.copyright_flag), flag_text(settings.original_flag),
                  flag_text(settings.private_flag), flag_text(settings.crc_flag));
    append_border(out, {{0xC8, 1}, {kHorizontal, 18}, {0xCA, 1}, {kHorizontal, 15}, {0xCA, 1},
                        {kHorizontal, 15}, {0xCA, 1}, {kHorizontal, 23}, {0xBC, 1}});

    if (engine_input_rate != engine_output_rate) {
        append_format(out, "  Re-sampling to %dHz\n", static_cast<int>(engine_output_rate));
    } else {
        out += "  Not Resampling\n";
    }

    // No estimate for VBR, nor for a pipe whose length is unknown.
    if (settings.vbr_flag == 0 && input_size != kUnknownSize) {
        float estimate = estimate_output_size(input_size, settings.input_rate, settings.mode_kind, settings.bitrate);
        append_format(out, "  Estimated Output Size = %0.2fMb\n\n", static_cast<double>(estimate));
    } else {
        out += "\n\n";
    }
    return out;
}

std::string emulation_header_text(const EngineVersion& version, const char* version_string,
                                  const char* input_name, const char* output_name,
                                  const RunSettings& settings, uint32_t engine_output_rate) {
    std::string out;
    append_format(out, "LAME version %u.%02u (KOVEX %s - LAME Emulation MODE)\n", unsigned{version.engine_major},
                  unsigned{version.engine_minor}, version_string);
    out += "CPU features: UNKNOWN\n";
    out += "Using KOVA Enhancements\n";
    // The names are at most 254 characters each (their fields' size).
    append_format(out, "Encoding %.254s to %.254s\n", input_name, output_name);
    append_format(out, "Encoding as %0.3f kHz %d kbps %s MPEG-1 Layer III\n", engine_output_rate * 0.001,
                  settings.bitrate, emulation_mode_word(settings.mode_kind));
    out += "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA \n";
    if (settings.vbr_flag == 1) out += "\n\n\n\n\n\n\n\n\n\n\n\n\n\n";
    return out;
}
