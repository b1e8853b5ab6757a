// The one way program text reaches standard output. The texts are code page 437
// bytes; on a terminal whose character set is UTF-8 the bytes above 127 are
// sent as the same characters in UTF-8, so the boxes line up there too. To a
// pipe, a file or any other terminal the bytes go out as they are.
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <string>

#include "console/console.h"
#include "console/text_building.h"

namespace {

// Unicode code points of code page 437, bytes 0x80 to 0xFF.
const uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

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

std::size_t cp437_to_utf8(const char* bytes, std::size_t length, char* out) {
    std::size_t written = 0;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out[written++] = static_cast<char>(byte);
            continue;
        }
        unsigned code = kCp437High[byte - 0x80];
        if (code < 0x800) {
            out[written++] = static_cast<char>(0xC0 | (code >> 6));
        } else {
            out[written++] = static_cast<char>(0xE0 | (code >> 12));
            out[written++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        }
        out[written++] = static_cast<char>(0x80 | (code & 0x3F));
    }
    return written;
}

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

void console_print(const char* format, ...) {
    std::string text;
    va_list args;
    va_start(args, format);
    append_vformat(text, format, args);
    va_end(args);
    console_write(text.data(), text.size());
}

void console_flush() { std::fflush(stdout); }
