// The ID3v2 tag of the tag switches, through the ID3 tagger library, which is
// loaded only for a run that asks for a tag.
#pragma once

#include <cstdio>

#include "decisions/command_line.h"
#include "tagger_interface/id3_tagger_api.h"

struct Id3Tagger {
    void* library = nullptr;  // never unloaded
    Id3TaggerApi api{};
};

// Loads kovex_id3.so where the engine is looked for and binds its entry points,
// or prints why not and returns false.
bool load_id3_tagger(const char* program_path, Id3Tagger& tagger);

// Into a finished MP3 file, in front of its frames, once its LAME tag is in
// place; false, with its message, when it cannot be written.
bool write_id3_tag(const Id3Tagger& tagger, const char* mp3_path, const TagFields& tags);

// Onto a stream that cannot be rewritten (a pipe), before its first frame.
bool write_id3_tag_to_stream(const Id3Tagger& tagger, std::FILE* output, const TagFields& tags);
