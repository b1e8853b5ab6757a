// The ID3v2 tag of the tag switches, written with TagLib, the library music
// players and taggers use.
#pragma once

#include <cstdio>

#include "decisions/command_line.h"

// Into a finished MP3 file, in front of its frames, once its LAME tag is in
// place; false, with its message, when it cannot be written.
bool write_id3_tag(const char* mp3_path, const TagFields& tags);

// Onto a stream that cannot be rewritten (a pipe), before its first frame.
bool write_id3_tag_to_stream(std::FILE* output, const TagFields& tags);
