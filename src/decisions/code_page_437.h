// The box-drawing texts are code page 437 bytes; a UTF-8 terminal gets them as UTF-8.
#pragma once

#include <cstddef>

// Translates code page 437 bytes above 127 into UTF-8; `out` must hold 3 bytes
// per input byte. Returns the length written.
std::size_t cp437_to_utf8(const char* bytes, std::size_t length, char* out);
