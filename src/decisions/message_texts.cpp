// The texts of the run's end and of its refusals.
#include <cstdio>

#include "decisions/screen_texts.h"
#include "decisions/text_building.h"

const char kCompletionPrompt[] = "\n\n  Encoding Process is complete... Press Enter to EXIT...";
const char kExitPrompt[] = "  Press Enter to Exit...";
const char kInputReadError[] = "  Input file read error";
const char kOutputWriteError[] = "  Output file write error";

std::string gui_closing_lines_text(const RunSettings& settings) {
    std::string out;
    append_format(out, "\naverage: %0.1f kbps   LR: 303 (100.0%%)\n", static_cast<double>(settings.bitrate));
    out += "\n";
    out += "Writing LAME Tag...done\n";
    return out;
}

const char* command_line_refusal_text(NamingOutcome outcome) {
    static const struct {
        NamingOutcome outcome;
        const char* message;
    } kRefusals[] = {
        {NamingOutcome::refused_switch, "Cannot accept kovex [switch]"},
        {NamingOutcome::refused_switches, "Cannot accept kovex [switches]"},
        {NamingOutcome::name_too_long, "Cannot accept kovex [file name too long]"},
    };
    for (const auto& refusal : kRefusals)
        if (refusal.outcome == outcome) return refusal.message;
    return "";
}

std::string input_refusal_text(ProbeVerdict verdict, const WavProbe& probe) {
    std::string out;
    switch (verdict) {
        case ProbeVerdict::accepted:
            break;
        case ProbeVerdict::not_pcm:
            out = "  Input file, is not Uncompressed PCM, or WAV header is corrupt.\n";
            break;
        case ProbeVerdict::bad_channel_count:
            append_format(out, "  Input file has %u channels; only 1 or 2 are supported.\n",
                          static_cast<unsigned>(probe.channels));
            break;
        case ProbeVerdict::unsupported_rate:
            append_format(out, "  Input sample rate of %u Hz is not supported (32000/44100/48000 only).\n",
                          static_cast<unsigned>(probe.sample_rate));
            break;
        case ProbeVerdict::not_16_bit:
            append_format(out, "  Input file is not 16-bit PCM (%u bits per sample).\n",
                          static_cast<unsigned>(probe.bits_per_sample));
            break;
    }
    return out;
}
