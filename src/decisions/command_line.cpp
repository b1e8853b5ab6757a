#include "decisions/command_line.h"

#include <cstdio>
#include <cstring>

#include "decisions/output_naming.h"
#include "decisions/run_settings.h"

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

namespace {

// The switches' vocabulary: what each spelling means. Within a table the rows
// are tested from first to last and the last present row wins, so the order
// of a table, not of the arguments, settles contradicting switches.
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

constexpr SpellingValue kProgressRows[] = {
    {"-PROG1", kProgressBar},
    {"-PROG2", kProgressStatistics},
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

// Both forms of each output rate; ascending, so the highest rate wins.
constexpr SpellingValue kResampleRows[] = {
    {"--resample8000", 8000},   {"--resample8", 8000},      {"--resample11025", 11025},
    {"--resample11.025", 11025}, {"--resample12000", 12000}, {"--resample12", 12000},
    {"--resample16000", 16000}, {"--resample16", 16000},    {"--resample22050", 22050},
    {"--resample22.05", 22050}, {"--resample24000", 24000}, {"--resample24", 24000},
    {"--resample32000", 32000}, {"--resample32", 32000},    {"--resample44100", 44100},
    {"--resample44.1", 44100},  {"--resample48000", 48000}, {"--resample48", 48000},
};

struct SpellingTable {
    const SpellingValue* rows;
    std::size_t count;
    int Switches::*value;
    int none;
};

template <std::size_t N>
constexpr SpellingTable table(const SpellingValue (&rows)[N], int Switches::*value, int none) {
    return {rows, N, value, none};
}

const SpellingTable kSpellingTables[] = {
    table(kBitrateRows, &Switches::bitrate, 0),
    table(kInputRateRows, &Switches::input_rate, 0),
    table(kVbrQualityRows, &Switches::vbr_quality, -1),
    table(kProgressRows, &Switches::progress_style, -1),
    table(kMaxBitrateRows, &Switches::max_bitrate, 0),
    table(kModeRows, &Switches::mode_kind, 0),
    table(kResampleRows, &Switches::resample_rate, 0),
};

// Spellings that count by being present. Only the upper-case "-PRIVATE" marks
// a file private; the letters "-V", "-b" and "-B" count for the VBR rules
// wherever they occur.
const struct {
    const char* spelling;
    bool Switches::*flag;
} kFlagSpellings[] = {
    {"-vbr", &Switches::vbr},
    {"-V", &Switches::vbr_letter},
    {"-b", &Switches::bitrate_letter},
    {"-B", &Switches::max_bitrate_letter},
    {"-PRIVATE", &Switches::private_flag},
    {"-p", &Switches::crc},
    {"-c", &Switches::copyright},
    {"-o", &Switches::copy},
    {"--nores", &Switches::no_reservoir},
    {"--strictly-enforce-ISO", &Switches::strict_iso},
    {"--ABR", &Switches::abr},
    {"-GUI", &Switches::gui},
};

// Switches of LAME's command-line encoder that take their value as the next
// word; that word is never a file name. kovex acts on none of them but "-q0"
// and the tag switches.
const char* const kValueSwitches[] = {
    "--preset",    "-q",         "--lowpass",   "--lowpass-width", "--highpass", "--highpass-width",
    "--scale",     "--scale-l",  "--scale-r",   "--disptime",      "--bitwidth", "--priority",
    "--resample",  "--tv",       "--ti",        "--pad-id3v2-size", "--athtype", "--athlower",
    "--ns-bass",   "--ns-alto",  "--ns-treble", "--ns-sfb21",      "--interch",  "--comp",
    "--cwlimit",   "--substep",  "--out-dir",   "--tt",            "--ta",       "--tl",
    "--ty",        "--tn",       "--tg",        "--tc",
};

// The tag switches: the word after each is the text of an ID3 field.
const struct {
    const char* spelling;
    const char* TagFields::*field;
} kTagSwitches[] = {
    {"--tt", &TagFields::title}, {"--ta", &TagFields::artist}, {"--tl", &TagFields::album},
    {"--ty", &TagFields::year},  {"--tn", &TagFields::track},  {"--tg", &TagFields::genre},
    {"--tc", &TagFields::comment},
};

bool is_standard_stream(const char* word) { return std::strcmp(word, kStandardStream) == 0; }

bool takes_value(const char* word) {
    for (const char* spelling : kValueSwitches)
        if (std::strcmp(word, spelling) == 0) return true;
    return false;
}

const char* TagFields::*tag_field_of(const char* word) {
    for (const auto& tag : kTagSwitches)
        if (std::strcmp(word, tag.spelling) == 0) return tag.field;
    return nullptr;
}

WordKind kind_of_word(const char* word) {
    if (is_standard_stream(word)) return WordKind::file_name;
    if (is_switch_argument(word)) return WordKind::switch_argument;
    if (word[0] == '-' && word[1] != '\0') return tag_field_of(word) ? WordKind::tag_switch : WordKind::unknown_switch;
    return WordKind::file_name;
}

}  // namespace

std::vector<WordKind> classify_words(int count, const char* const* arguments) {
    std::vector<WordKind> kinds(static_cast<std::size_t>(count));
    // A switch the program does not know takes the next word whatever it is; one
    // it knows ("-q") only a word that would otherwise be a file name.
    enum class Pending { none, any_word, name_word } pending = Pending::none;
    for (int i = 0; i < count; ++i) {
        WordKind kind = kind_of_word(arguments[i]);
        bool is_value = pending == Pending::any_word ||
                        (pending == Pending::name_word && kind == WordKind::file_name &&
                         !is_standard_stream(arguments[i]));
        pending = Pending::none;
        if (is_value) {
            kinds[i] = WordKind::value;
            continue;
        }
        kinds[i] = kind;
        if (takes_value(arguments[i]))
            pending = kind == WordKind::switch_argument ? Pending::name_word : Pending::any_word;
    }
    return kinds;
}

namespace {

// Only switch arguments count: a switch spelling inside the program's path,
// a file name (live-rec.wav, ~/my-progs/) or a tag's text must not change the run.
bool join_switch_arguments(const std::vector<WordKind>& kinds, int argument_count, const char* const* arguments,
                           CommandText& command_text) {
    std::size_t length = 0;
    bool complete = true;
    for (int i = 0; i < argument_count; ++i) {
        if (kinds[static_cast<std::size_t>(i)] != WordKind::switch_argument) continue;
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

// Unknown switches, tag switches and the values they take name no file and
// change nothing: naming looks at the other words only, in their order.
ArgumentChoice choose_names(const std::vector<WordKind>& kinds, int count) {
    std::vector<int> words;
    for (int i = 0; i < count; ++i) {
        WordKind kind = kinds[static_cast<std::size_t>(i)];
        if (kind == WordKind::switch_argument || kind == WordKind::file_name) words.push_back(i);
    }
    auto is_name = [&](std::size_t word) {
        return word < words.size() && kinds[static_cast<std::size_t>(words[word])] == WordKind::file_name;
    };
    std::size_t input = 0;
    while (input < words.size() && !is_name(input)) ++input;
    if (input == words.size())
        return {count == 1 ? NamingOutcome::refused_switch : NamingOutcome::refused_switches, -1, -1};
    int output = is_name(input + 1) ? words[input + 1] : words[input];
    return {NamingOutcome::named, words[input], output};
}

NamingOutcome accept_names(const ArgumentChoice& choice, const char* const* arguments,
                           const CommandText& command_text, FileNames& names) {
    if (choice.outcome != NamingOutcome::named) return choice.outcome;
    // A user's switches are never dropped in silence.
    if (!command_text.complete) return NamingOutcome::refused_switches;
    const char* input = arguments[choice.input_index];
    const char* output = arguments[choice.output_index];
    // Both names, and the output with its extension, must fit their 255-byte fields.
    if (std::strlen(input) > kNameCapacity || std::strlen(output) > kNameCapacity ||
        derived_output_length(output) > kNameCapacity)
        return NamingOutcome::name_too_long;
    std::snprintf(names.input_name, sizeof names.input_name, "%s", input);
    std::snprintf(names.output_name, sizeof names.output_name, "%s", output);
    derive_output_name(names.output_name);
    return NamingOutcome::named;
}

}  // namespace

bool build_command_text(int argument_count, const char* const* arguments, CommandText& command_text) {
    return join_switch_arguments(classify_words(argument_count, arguments), argument_count, arguments, command_text);
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

Switches read_switches(const CommandText& command_text) {
    Switches switches{};
    for (const SpellingTable& spelling_table : kSpellingTables) {
        switches.*spelling_table.value = spelling_table.none;
        for (std::size_t row = 0; row < spelling_table.count; ++row) {
            if (switch_present(command_text, spelling_table.rows[row].spelling))
                switches.*spelling_table.value = spelling_table.rows[row].value;
        }
    }
    for (const auto& spelling : kFlagSpellings) switches.*spelling.flag = switch_present(command_text, spelling.spelling);
    switches.raw_input = raw_input_requested(command_text);
    return switches;
}

ArgumentChoice classify_arguments(int count, const char* const* arguments) {
    return choose_names(classify_words(count, arguments), count);
}

NamingOutcome accept_file_names(int count, const char* const* arguments, const CommandText& command_text,
                                FileNames& names) {
    return accept_names(classify_arguments(count, arguments), arguments, command_text, names);
}

NamingOutcome decide_command_line(int count, const char* const* arguments, RunRequest& request) {
    const std::vector<WordKind> kinds = classify_words(count, arguments);
    CommandText command_text;
    join_switch_arguments(kinds, count, arguments, command_text);
    const ArgumentChoice choice = choose_names(kinds, count);
    const NamingOutcome outcome = accept_names(choice, arguments, command_text, request.names);
    request.switches = read_switches(command_text);
    // Unknown switches, tag switches and their values change nothing, so they
    // do not count either where the rules ask how many arguments were given.
    request.argument_count = 1;
    for (WordKind kind : kinds)
        if (kind == WordKind::switch_argument || kind == WordKind::file_name) ++request.argument_count;

    request.tags = TagFields{};
    request.unknown_switches.clear();
    for (int i = 0; i < count; ++i) {
        WordKind kind = kinds[static_cast<std::size_t>(i)];
        if (kind == WordKind::tag_switch && i + 1 < count && kinds[static_cast<std::size_t>(i) + 1] == WordKind::value)
            request.tags.*tag_field_of(arguments[i]) = arguments[i + 1];
        if (kind != WordKind::unknown_switch) continue;
        bool already_named = false;
        for (const char* named : request.unknown_switches)
            already_named = already_named || std::strcmp(named, arguments[i]) == 0;
        if (!already_named) request.unknown_switches.push_back(arguments[i]);
    }
    // Known even when the names are refused, so that no refusal reaches an MP3 stream.
    request.mp3_to_standard_output = choice.outcome == NamingOutcome::named &&
                                     is_standard_stream(arguments[choice.output_index]);
    request.input_is_standard_input = choice.outcome == NamingOutcome::named &&
                                      is_standard_stream(arguments[choice.input_index]);
    return outcome;
}

bool any_tag(const TagFields& tags) {
    for (const auto& tag : kTagSwitches)
        if (tags.*tag.field != nullptr) return true;
    return false;
}
