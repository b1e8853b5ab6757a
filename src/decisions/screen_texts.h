// The texts the program shows, built from the run's values; pure. The boxes
// are code page 437 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "decisions/command_line.h"
#include "decisions/run_settings.h"
#include "decisions/wav_header.h"
#include "engine_interface/engine_api.h"

// The title box, the help pages (numbered 1 to 3, without their prompts) and
// the title banner.
std::string title_box_text(const char* version_string);
std::string help_page_text(int page, const char* version_string);
const char* help_page_prompt(int page);
std::string title_banner_text(const EngineVersion& version, const char* version_string);

// The estimated MP3 size, in units of 1,049,024 bytes.
float estimate_output_size(uint64_t input_size, int input_rate, int mode_kind, int bitrate);

std::string settings_summary_text(const RunSettings& settings, uint32_t engine_input_rate,
                                  uint32_t engine_output_rate, uint64_t input_size);
std::string emulation_header_text(const EngineVersion& version, const char* version_string,
                                  const char* input_name, const char* output_name,
                                  const RunSettings& settings, uint32_t engine_output_rate);

// The three lines that tell a LAME front end the file is complete.
std::string gui_closing_lines_text(const RunSettings& settings);
extern const char kCompletionPrompt[];

// The refusal of a command line (none for `named`), printed as it stands.
const char* command_line_refusal_text(NamingOutcome outcome);

// The refusal of an input the header decision did not accept.
std::string input_refusal_text(ProbeVerdict verdict, const WavProbe& probe);
extern const char kExitPrompt[];

// Failure messages that more than one stage prints.
extern const char kInputReadError[];
extern const char kOutputWriteError[];
