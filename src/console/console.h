// Everything the program shows on standard output: banners, help pages,
// the settings summary, the emulation header, and the waits for Enter.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/engine_api.h"
#include "settings/run_settings.h"

// Writes program text to standard output; box-drawing bytes (code page 437)
// become UTF-8 when standard output is a UTF-8 terminal.
void console_write(const char* bytes, std::size_t length);
void console_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
void console_flush();

// Writes bytes to standard output exactly as given, for text that is not the
// program's own (file names), which must reach the terminal untouched.
void console_write_raw(const char* bytes, std::size_t length);

// Translates code page 437 bytes above 127 into UTF-8; `out` must hold 3 bytes
// per input byte. Returns the length written.
std::size_t cp437_to_utf8(const char* bytes, std::size_t length, char* out);

// Waits on the controlling terminal for Enter, without echo; returns at once
// without a terminal or when input ends.
void wait_for_enter();

void show_help_pages(const char* version_string);
void show_title_banner(const EngineVersion& version, const char* version_string);

// The texts behind the two routines above; pure. Pages are numbered 1 to 3
// and come without their prompts.
std::string title_box_text(const char* version_string);
std::string help_page_text(int page, const char* version_string);
const char* help_page_prompt(int page);
std::string title_banner_text(const EngineVersion& version, const char* version_string);

// The estimated MP3 size, in units of 1,049,024 bytes.
float estimate_output_size(uint64_t input_size, int input_rate, int mode_kind, int bitrate);

void show_settings_summary(const RunSettings& settings, uint32_t engine_input_rate,
                           uint32_t engine_output_rate, uint64_t input_size);
void show_emulation_header(const EngineVersion& version, const char* version_string,
                           const char* input_name, const char* output_name,
                           const RunSettings& settings, uint32_t engine_output_rate);

// The texts behind the two routines above, as code page 437 bytes; pure.
std::string settings_summary_text(const RunSettings& settings, uint32_t engine_input_rate,
                                  uint32_t engine_output_rate, uint64_t input_size);
std::string emulation_header_text(const EngineVersion& version, const char* version_string,
                                  const char* input_name, const char* output_name,
                                  const RunSettings& settings, uint32_t engine_output_rate);
