// The command-line text on which every switch is detected, and the file names.
#pragma once

#include <cstddef>

constexpr std::size_t kCommandTextCapacity = 299;
constexpr std::size_t kNameCapacity = 254;

// The switch arguments joined in order, without separators.
struct CommandText {
    char text[kCommandTextCapacity + 1];
    bool complete;  // false when the switch arguments did not all fit
};

struct FileNames {
    char input_name[kNameCapacity + 1];
    char output_name[kNameCapacity + 1];
};

extern const char kSwitchList[600];

// Joins the switch arguments among `arguments` (the program's path excluded)
// in order; false, with the text cut before the first that does not fit, when
// they exceed its capacity.
bool build_command_text(int argument_count, const char* const* arguments, CommandText& command_text);

// True when `haystack` holds `needle` as consecutive bytes; the empty needle is everywhere.
bool text_contains(const char* haystack, const char* needle);
bool switch_present(const CommandText& command_text, const char* spelling);
bool is_switch_argument(const char* argument);

// True when "-r" occurs outside a "--resample" spelling.
bool raw_input_requested(const CommandText& command_text);

enum class NamingOutcome {
    named,
    refused_switch,
    refused_switches,
    name_too_long,
};

struct ArgumentChoice {
    NamingOutcome outcome;
    int input_index;   // into the arguments after the program's path
    int output_index;
};

// Picks which arguments name the input and output; `arguments` excludes the program's path.
ArgumentChoice classify_arguments(int count, const char* const* arguments);

// Classifies, checks that the switches fit the command text and the names fit
// their fields (with the output's extension), copies the names and gives the
// output its extension; prints a refusal and returns false.
bool accept_file_names(int count, const char* const* arguments, const CommandText& command_text,
                       FileNames& names);

// The length the output name will have once derive_output_name has run.
std::size_t derived_output_length(const char* name);

// Gives the output name its ".mp3" extension, in place.
void derive_output_name(char (&output_name)[kNameCapacity + 1]);
