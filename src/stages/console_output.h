// The screen: program text to standard output (code page 437 boxes as UTF-8
// on a UTF-8 terminal), the progress line after every chunk, and the texts of
// each moment of the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decisions/command_line.h"
#include "decisions/progress_arithmetic.h"
#include "decisions/run_settings.h"
#include "decisions/wav_header.h"
#include "engine_interface/engine_api.h"

void console_write(const char* bytes, std::size_t length);
void console_flush();

// Bytes exactly as given, for text that is not the program's own (file names),
// which must reach the terminal untouched.
void console_write_raw(const char* bytes, std::size_t length);

// A help page and its prompt; the wait for Enter is the caller's.
void show_help_page(int page, const char* version_string);
void show_title_banner(const EngineVersion& version, const char* version_string);
void show_command_line_refusal(NamingOutcome outcome);
// One line on standard error for each switch that is ignored.
void show_unknown_switches(const std::vector<const char*>& unknown_switches);
// The refusal and, unless `gui`, the prompt before the wait for Enter.
void show_input_refusal(ProbeVerdict verdict, const WavProbe& probe, bool gui);
void show_settings_summary(const RunSettings& settings, uint64_t input_size);
void show_emulation_header(const EngineVersion& version, const char* version_string, const FileNames& names,
                           const RunSettings& settings);

// The progress line, plugged into the encode loop as its report of each chunk.
struct ProgressDisplay {
    int style;
    uint64_t input_size;
    TimeEstimates estimates;
};
ProgressDisplay progress_display_for(const RunSettings& settings, uint64_t input_size);
void show_progress(void* display, uint64_t bytes_read);

// Milliseconds since the program started.
uint64_t program_clock_ms();

// Under -GUI the three closing lines; otherwise the prompt before the last wait for Enter.
void show_run_complete(const RunSettings& settings);
