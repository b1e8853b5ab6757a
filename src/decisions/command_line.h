// The command line turned, once, into what the run needs: the two file names
// and what the switches say. Nothing below this decision sees the command text.
#pragma once

#include <cstddef>
#include <cstdint>

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

// What the switches say. Every spelling is found as a substring of the command
// text; where a table of spellings gives a value, the last present row's
// value is kept (0, or -1 where 0 is a value, when none is present).
struct Switches {
    bool vbr;                 // "-vbr"
    bool vbr_letter;          // "-V", also inside "-V2"
    bool bitrate_letter;      // "-b", also inside "-b128"
    bool max_bitrate_letter;  // "-B"
    int bitrate;              // "-b32" ... "-b320"
    int input_rate;           // "-s32000", "-s44100", "-s48000"
    bool private_flag;        // "-PRIVATE"
    bool crc;                 // "-p"
    bool copyright;           // "-c"
    bool copy;                // "-o": not original
    int vbr_quality;          // "-V0" ... "-V9", or -1
    int progress_style;       // "-PROG1" bar, "-PROG2" statistics, or -1
    int max_bitrate;          // "-B32" ... "-B320"
    int mode_kind;            // "-ms", "-mj", "-mm", "-md"
    bool no_reservoir;        // "--nores"
    bool strict_iso;          // "--strictly-enforce-ISO"
    bool raw_input;           // "-r" outside a "--resample" spelling
    bool abr;                 // "--ABR"
    int resample_rate;        // "--resample8000" ... "--resample48", both forms
    bool gui;                 // "-GUI"
};

enum class NamingOutcome {
    named,
    refused_switch,
    refused_switches,
    name_too_long,
};

struct RunRequest {
    FileNames names;
    Switches switches;
    int argument_count;  // the program's own path counts as one
};

// The whole decision: the names and the switches, or why the command line is
// refused. `arguments` excludes the program's path; there is at least one.
NamingOutcome decide_command_line(int count, const char* const* arguments, RunRequest& request);

// The pieces of the decision.
extern const char kSwitchList[600];

// Joins the switch arguments among `arguments` in order; false, with the text
// cut before the first that does not fit, when they exceed its capacity.
bool build_command_text(int argument_count, const char* const* arguments, CommandText& command_text);

// True when `haystack` holds `needle` as consecutive bytes; the empty needle is everywhere.
bool text_contains(const char* haystack, const char* needle);
bool switch_present(const CommandText& command_text, const char* spelling);
bool is_switch_argument(const char* argument);

// True when "-r" occurs outside a "--resample" spelling.
bool raw_input_requested(const CommandText& command_text);

Switches read_switches(const CommandText& command_text);

struct ArgumentChoice {
    NamingOutcome outcome;
    int input_index;  // into the arguments after the program's path
    int output_index;
};

// Picks which arguments name the input and output.
ArgumentChoice classify_arguments(int count, const char* const* arguments);

// Classifies, checks that the switches fit the command text and the names fit
// their fields (with the output's extension), copies the names and gives the
// output its extension.
NamingOutcome accept_file_names(int count, const char* const* arguments, const CommandText& command_text,
                                FileNames& names);
