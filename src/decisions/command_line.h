// The command line turned, once, into what the run needs: the two file names
// and what the switches say. Nothing below this decision sees the command text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tagger_interface/id3_tagger_api.h"

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

// The text of the ID3 fields the tag switches give (--tt title, --ta artist,
// --tl album, --ty year, --tn track, --tg genre, --tc comment); null where none is given.
using TagFields = Id3TagFields;

bool any_tag(const TagFields& tags);

// "-" names standard input as the input, standard output as the output.
constexpr const char kStandardStream[] = "-";

enum class NamingOutcome {
    named,
    refused_switch,
    refused_switches,
    name_too_long,
};

struct RunRequest {
    FileNames names;
    Switches switches;
    TagFields tags;
    int argument_count;  // the switch arguments and file names; the program's own path counts as one
    std::vector<const char*> unknown_switches;  // each once, in the order given
    bool input_is_standard_input;
    bool mp3_to_standard_output;  // then every screen text goes to standard error
};

// The whole decision: the names and the switches, or why the command line is
// refused. `arguments` excludes the program's path; there is at least one.
NamingOutcome decide_command_line(int count, const char* const* arguments, RunRequest& request);

// The pieces of the decision.
extern const char kSwitchList[600];

// What each word of the command line is. A word of two or more characters
// that begins with "-" and is not a switch argument is an unknown switch; the
// word after a switch that takes a value is that value.
enum class WordKind { switch_argument, file_name, unknown_switch, tag_switch, value };
std::vector<WordKind> classify_words(int count, const char* const* arguments);

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
