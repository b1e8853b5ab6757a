// The one way program text reaches the screen. The texts are code page 437
// bytes; on a terminal whose character set is UTF-8 the bytes above 127 are
// sent as the same characters in UTF-8, so the boxes line up there too. To a
// pipe, a file or any other terminal the bytes go out as they are.
#include <langinfo.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstring>
#include <string>

#include "decisions/code_page_437.h"
#include "decisions/screen_texts.h"
#include "decisions/text_building.h"
#include "stages/console_output.h"

namespace {

// Taken while the program starts up, so every time shown counts from there.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

bool locale_is_utf8() {
    // Ask the user's locale, then put the program's own back: nothing else in
    // the program depends on the locale.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    std::string saved = current != nullptr ? current : "C";
    bool utf8 = false;
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        const char* codeset = nl_langinfo(CODESET);
        utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    return utf8;
}

bool translate_to_utf8() {
    static const bool translate = isatty(STDOUT_FILENO) == 1 && locale_is_utf8();
    return translate;
}

}  // namespace

void console_write_raw(const char* bytes, std::size_t length) {
    std::fwrite(bytes, 1, length, stdout);
}

void console_write(const char* bytes, std::size_t length) {
    if (!translate_to_utf8()) {
        console_write_raw(bytes, length);
        return;
    }
    constexpr std::size_t kPiece = 256;
    char translated[kPiece * 3];
    for (std::size_t done = 0; done < length; done += kPiece) {
        std::size_t piece = length - done < kPiece ? length - done : kPiece;
        console_write_raw(translated, cp437_to_utf8(bytes + done, piece, translated));
    }
}

void console_flush() { std::fflush(stdout); }

namespace {

void console_write_text(const std::string& text) { console_write(text.data(), text.size()); }

}  // namespace

void show_help_page(int page, const char* version_string) {
    console_write_text(help_page_text(page, version_string));
    const char* prompt = help_page_prompt(page);
    console_write(prompt, std::strlen(prompt));
}

void show_title_banner(const EngineVersion& version, const char* version_string) {
    console_write_text(title_banner_text(version, version_string));
}

void show_command_line_refusal(NamingOutcome outcome) { std::fputs(command_line_refusal_text(outcome), stdout); }

void show_unknown_switches(const std::vector<const char*>& unknown_switches) {
    for (const char* word : unknown_switches) std::fprintf(stderr, "  Ignoring unknown switch %s\n", word);
}

void show_input_refusal(ProbeVerdict verdict, const WavProbe& probe, bool gui) {
    std::fputs(input_refusal_text(verdict, probe).c_str(), stdout);
    if (!gui) std::fputs(kExitPrompt, stdout);
    std::fflush(stdout);
}

void show_settings_summary(const RunSettings& settings, uint64_t input_size) {
    console_write_text(settings_summary_text(settings, static_cast<uint32_t>(settings.input_rate),
                                             static_cast<uint32_t>(settings.output_rate), input_size));
}

void show_emulation_header(const EngineVersion& version, const char* version_string, const FileNames& names,
                           const RunSettings& settings) {
    // The header draws no box; the file names in it must reach the terminal
    // exactly as the user gave them.
    std::string text = emulation_header_text(version, version_string, names.input_name, names.output_name,
                                             settings, static_cast<uint32_t>(settings.output_rate));
    console_write_raw(text.data(), text.size());
}

uint64_t program_clock_ms() {
    auto since_start = std::chrono::steady_clock::now() - kProgramStart;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count());
}

ProgressDisplay progress_display_for(const RunSettings& settings, uint64_t input_size) {
    ProgressDisplay display;
    display.style = displayed_progress_style(settings);
    display.input_size = input_size;
    return display;
}

void show_progress(void* context, uint64_t bytes_read) {
    ProgressDisplay& display = *static_cast<ProgressDisplay*>(context);
    update_time_estimates(bytes_read, display.input_size, program_clock_ms(), display.estimates);
    char line[384];
    std::size_t length =
        format_progress_line(display.style, bytes_read, display.input_size, display.estimates, line, sizeof line);
    // Written and flushed at once, so a terminal shows it live and a front end
    // reading a pipe gets it without delay.
    console_write(line, length);
    console_flush();
}

void show_run_complete(const RunSettings& settings) {
    // Front ends take "Writing LAME Tag...done" as the sign that the file is
    // complete, so these lines come only once it truly is.
    console_write_text(settings.gui ? gui_closing_lines_text(settings) : std::string(kCompletionPrompt));
    console_flush();
}
