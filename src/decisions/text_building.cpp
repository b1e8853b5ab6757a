#include "decisions/text_building.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void append_vformat(std::string& out, const char* format, va_list args) {
    char buffer[512];
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        // Long file names can outgrow the stack buffer; format once more in place.
        std::size_t start = out.size();
        out.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(&out[start], static_cast<std::size_t>(length) + 1, format, again);
        out.resize(start + static_cast<std::size_t>(length));
    }
    va_end(again);
}

void append_format(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    append_vformat(out, format, args);
    va_end(args);
}

void append_border(std::string& out, std::initializer_list<BorderRun> runs) {
    out += ' ';
    for (const BorderRun& run : runs) out.append(static_cast<std::size_t>(run.count), static_cast<char>(run.byte));
    out += '\n';
}

void append_cell(std::string& out, const char* text, std::size_t width) {
    std::size_t length = std::strlen(text);
    if (length > width) length = width;
    out.append(text, length);
    out.append(width - length, ' ');
}
