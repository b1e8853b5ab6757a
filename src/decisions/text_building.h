// Small builders for the screen texts, shared by the banner and summary code.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <initializer_list>
#include <string>

// Appends printf-style text; the format is always one of the program's own.
void append_vformat(std::string& out, const char* format, va_list args);
void append_format(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// One stretch of a box border: `count` copies of a code page 437 byte.
struct BorderRun {
    unsigned char byte;
    int count;
};

// Appends a border line: one leading space, the runs, a line feed.
void append_border(std::string& out, std::initializer_list<BorderRun> runs);

// Appends `text` cut or padded with spaces to exactly `width` columns.
void append_cell(std::string& out, const char* text, std::size_t width);
