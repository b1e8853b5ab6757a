// The argument vector as anyone may give it: the switch text, the choice of
// the file names, their copies into the 255-byte fields and the output's
// extension. Every field lives on the heap at its exact size, so a write past
// it is caught; the checks are on what a field may hold.
#include <cstring>
#include <memory>

#include "decisions/command_line.h"
#include "decisions/output_naming.h"
#include "fuzz_support.h"

namespace {

constexpr std::size_t kFieldBytes = kNameCapacity + 1;

bool ends_with_mp3(const char* name) {
    std::size_t length = std::strlen(name);
    return length >= 4 && std::strcmp(name + length - 4, ".mp3") == 0;
}

// Terminated inside its field, and so at most 254 characters long.
bool fits_field(const char* field) { return std::memchr(field, '\0', kFieldBytes) != nullptr; }

// The switch arguments joined, whole or refused: never a switch cut short.
std::unique_ptr<CommandText> check_command_text(int count, const char* const* arguments) {
    // Only switch arguments are joined: never "-", a tag's text or an unknown switch's value.
    const std::vector<WordKind> kinds = classify_words(count, arguments);
    std::string joined;
    for (int i = 0; i < count; ++i) {
        if (kinds[static_cast<std::size_t>(i)] != WordKind::switch_argument) continue;
        FUZZ_CHECK(is_switch_argument(arguments[i]) && std::strcmp(arguments[i], kStandardStream) != 0);
        joined += arguments[i];
    }

    auto command_text = std::make_unique<CommandText>();
    std::memset(command_text.get(), 0x5A, sizeof *command_text);
    bool complete = build_command_text(count, arguments, *command_text);
    FUZZ_CHECK(std::memchr(command_text->text, '\0', sizeof command_text->text) != nullptr);
    FUZZ_CHECK(complete == command_text->complete);
    FUZZ_CHECK(complete == (joined.size() <= kCommandTextCapacity));
    if (complete) FUZZ_CHECK(joined == command_text->text);
    return command_text;
}

void check_classification(int count, const char* const* arguments, const CommandText& command_text) {
    ArgumentChoice choice = classify_arguments(count, arguments);
    const std::vector<WordKind> kinds = classify_words(count, arguments);
    auto kind = [&](int i) { return kinds[static_cast<std::size_t>(i)]; };
    bool any_name = false;
    for (int i = 0; i < count; ++i) any_name = any_name || kind(i) == WordKind::file_name;
    switch (choice.outcome) {
        case NamingOutcome::named:
            FUZZ_CHECK(choice.input_index >= 0 && choice.input_index < count);
            FUZZ_CHECK(choice.output_index >= choice.input_index && choice.output_index < count);
            FUZZ_CHECK(kind(choice.input_index) == WordKind::file_name);
            FUZZ_CHECK(kind(choice.output_index) == WordKind::file_name);
            // The input is the first name; between it and the output stand only words naming nothing.
            for (int i = 0; i < choice.input_index; ++i) FUZZ_CHECK(kind(i) != WordKind::file_name);
            for (int i = choice.input_index + 1; i < choice.output_index; ++i)
                FUZZ_CHECK(kind(i) != WordKind::file_name && kind(i) != WordKind::switch_argument);
            break;
        case NamingOutcome::refused_switch:
            FUZZ_CHECK(count == 1 && !any_name);
            break;
        case NamingOutcome::refused_switches:
            FUZZ_CHECK(count >= 2 && !any_name);
            break;
        case NamingOutcome::name_too_long:
            FUZZ_CHECK(false && "classify_arguments does not judge lengths");
            break;
    }

    auto names = std::make_unique<FileNames>();
    std::memset(names.get(), 0x5A, sizeof *names);
    if (accept_file_names(count, arguments, command_text, *names) != NamingOutcome::named) return;
    FUZZ_CHECK(choice.outcome == NamingOutcome::named);
    FUZZ_CHECK(command_text.complete);
    FUZZ_CHECK(fits_field(names->input_name));
    FUZZ_CHECK(fits_field(names->output_name));
    FUZZ_CHECK(std::strcmp(names->input_name, arguments[choice.input_index]) == 0);
    FUZZ_CHECK(ends_with_mp3(names->output_name) || std::strcmp(names->output_name, kStandardStream) == 0);
}

// derive_output_name on its own, with a name of any length that fits the field.
void check_derivation(const char* name) {
    std::size_t length = std::strlen(name);
    if (length > kNameCapacity) return;
    char(*field)[kFieldBytes] = reinterpret_cast<char(*)[kFieldBytes]>(new char[kFieldBytes]);
    std::memcpy(*field, name, length + 1);
    std::size_t expected = derived_output_length(name);
    derive_output_name(*field);
    FUZZ_CHECK(fits_field(*field));
    if (std::strcmp(name, kStandardStream) == 0) {
        FUZZ_CHECK(std::strcmp(*field, kStandardStream) == 0);  // standard output keeps its name
    } else if (expected <= kNameCapacity) {
        FUZZ_CHECK(std::strlen(*field) == expected);
        FUZZ_CHECK(ends_with_mp3(*field));
        // Only the extension changes: what comes before it stays, and no folder loses its name.
        FUZZ_CHECK(std::memcmp(*field, name, expected - 4) == 0);
        const char* slash = std::strrchr(name, '/');
        if (slash != nullptr) FUZZ_CHECK(expected - 4 > static_cast<std::size_t>(slash - name));
    } else {
        FUZZ_CHECK(std::strcmp(*field, name) == 0);
    }
    delete[] reinterpret_cast<char*>(field);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Refusals are printed on standard output; libFuzzer reports on standard error.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // The first entry stands for the program's path, the rest are the arguments.
    std::vector<std::string> entries = fuzz::split_entries(data, size);
    std::vector<const char*> pointers = fuzz::pointers_to(entries);
    const int count = static_cast<int>(entries.size()) - 1;
    const char* const* arguments = pointers.data() + 1;

    std::unique_ptr<CommandText> command_text = check_command_text(count, arguments);
    if (count >= 1) check_classification(count, arguments, *command_text);
    for (const std::string& entry : entries) check_derivation(entry.c_str());
    return 0;
}
