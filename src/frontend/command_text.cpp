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

void build_command_text(const char* program_path, int argument_count, const char* const* arguments,
                        CommandText& command_text) {
    std::size_t length = 0;
    auto append = [&](const char* entry) {
        for (; *entry != '\0' && length < kCommandTextCapacity; ++entry) command_text.text[length++] = *entry;
    };
    append(program_path);
    for (int i = 0; i < argument_count; ++i) append(arguments[i]);
    std::memset(command_text.text + length, 0, sizeof command_text.text - length);
}

bool text_contains(const char* haystack, const char* needle) {
    return std::strstr(haystack, needle) != nullptr;
}

bool switch_present(const CommandText& command_text, const char* spelling) {
    return text_contains(command_text.text, spelling);
}

bool is_switch_argument(const char* argument) { return text_contains(kSwitchList, argument); }

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

bool accept_file_names(int count, const char* const* arguments, FileNames& names) {
    ArgumentChoice choice = classify_arguments(count, arguments);
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
