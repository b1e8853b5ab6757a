#include "frontend/command_text.h"

#include <cstdio>
#include <cstring>

// Every recognised switch spelling, one after another. An argument that occurs
// anywhere in it is a switch argument rather than a file name.
const char kSwitchList[600] =
    "-b32-b40-b48-b56-b64-b80-b96-b112-b128-b160-b192-b224-b256-b320"
    "-B32-B40-B48-B56-B64-B80-B96-B112-B128-B160-B192-B224-B256-B320"
    "-vbr-V0-V1-V2-V3-V4-V5-V6-V7-V8-V9-s32000-s44100-s48000-ms-mj-mm-md"
    "-p-c-o-PRIVATE-PROG1-PROG2-r-q0-GUI--nores"
    "--resample8--resample8000--resample11.025--resample11025--resample12--resample12000"
    "--resample16--resample16000--resample22.05--resample22050--resample24--resample24000"
    "--resample32--resample32000--resample44.1--resample44100--resample48--resample48000"
    "-h--ABR--abr--strictly-enforce-ISO";

bool build_command_text(int argument_count, const char* const* arguments, CommandText& command_text) {
    // Only switch arguments count: a switch spelling inside the program's path or
    // a file name (live-rec.wav, ~/my-progs/) must not change the run.
    std::size_t length = 0;
    bool complete = true;
    for (int i = 0; i < argument_count; ++i) {
        if (!is_switch_argument(arguments[i])) continue;
        std::size_t argument_length = std::strlen(arguments[i]);
        if (argument_length > kCommandTextCapacity - length) {
            complete = false;
            break;
        }
        std::memcpy(command_text.text + length, arguments[i], argument_length);
        length += argument_length;
    }
    std::memset(command_text.text + length, 0, sizeof command_text.text - length);
    command_text.complete = complete;
    return complete;
}

bool text_contains(const char* haystack, const char* needle) {
    return std::strstr(haystack, needle) != nullptr;
}

bool switch_present(const CommandText& command_text, const char* spelling) {
    return text_contains(command_text.text, spelling);
}

bool is_switch_argument(const char* argument) { return text_contains(kSwitchList, argument); }

bool raw_input_requested(const CommandText& command_text) {
    // Every "--resample" spelling holds "-r"; only an "-r" of its own asks for raw input.
    static const char kResample[] = "--resample";
    const char* text = command_text.text;
    for (const char* found = std::strstr(text, "-r"); found != nullptr; found = std::strstr(found + 1, "-r")) {
        bool inside_resample = found > text && std::strncmp(found - 1, kResample, sizeof kResample - 1) == 0;
        if (!inside_resample) return true;
    }
    return false;
}

ArgumentChoice classify_arguments(int count, const char* const* arguments) {
    if (!is_switch_argument(arguments[0])) {
        bool output_given = count >= 2 && !is_switch_argument(arguments[1]);
        return {NamingOutcome::named, 0, output_given ? 1 : 0};
    }
    if (count == 1) return {NamingOutcome::refused_switch, -1, -1};
    int input = 1;
    while (input < count && is_switch_argument(arguments[input])) ++input;
    if (input == count) return {NamingOutcome::refused_switches, -1, -1};
    bool output_given = input + 1 < count && !is_switch_argument(arguments[input + 1]);
    return {NamingOutcome::named, input, output_given ? input + 1 : input};
}

bool accept_file_names(int count, const char* const* arguments, const CommandText& command_text,
                       FileNames& names) {
    ArgumentChoice choice = classify_arguments(count, arguments);
    // A user's switches are never dropped in silence.
    if (choice.outcome == NamingOutcome::named && !command_text.complete)
        choice.outcome = NamingOutcome::refused_switches;
    if (choice.outcome == NamingOutcome::named) {
        const char* input = arguments[choice.input_index];
        const char* output = arguments[choice.output_index];
        // Both names, and the output with its extension, must fit their 255-byte fields.
        if (std::strlen(input) > kNameCapacity || std::strlen(output) > kNameCapacity ||
            derived_output_length(output) > kNameCapacity)
            choice.outcome = NamingOutcome::name_too_long;
    }
    static const struct {
        NamingOutcome outcome;
        const char* message;
    } kRefusals[] = {
        {NamingOutcome::refused_switch, "Cannot accept kovex [switch]"},
        {NamingOutcome::refused_switches, "Cannot accept kovex [switches]"},
        {NamingOutcome::name_too_long, "Cannot accept kovex [file name too long]"},
    };
    for (const auto& refusal : kRefusals) {
        if (refusal.outcome == choice.outcome) {
            std::fputs(refusal.message, stdout);
            return false;
        }
    }
    std::snprintf(names.input_name, sizeof names.input_name, "%s", arguments[choice.input_index]);
    std::snprintf(names.output_name, sizeof names.output_name, "%s", arguments[choice.output_index]);
    derive_output_name(names.output_name);
    return true;
}
