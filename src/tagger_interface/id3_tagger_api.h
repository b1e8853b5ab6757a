// The ID3 tagger kovex_id3.so, our library on TagLib. The program loads it
// only when a tag is asked for, so that a run without tags loads neither
// TagLib nor the C++ runtime TagLib needs. Shared by the program and
// id3_tagger/; it includes nothing of either.
#pragma once

#include <cstdio>

// The text of each ID3 field, UTF-8; null where none is given.
struct Id3TagFields {
    const char* title;
    const char* artist;
    const char* album;
    const char* year;
    const char* track;
    const char* genre;
    const char* comment;
};

extern "C" {
// Writes the tag in front of the frames of a finished MP3 file; 0 when written.
int kovexWriteId3Tag(const char* mp3_path, const Id3TagFields* fields);
// Writes the tag onto a stream that cannot be rewritten, before its first frame; 0 when written.
int kovexWriteId3TagToStream(std::FILE* stream, const Id3TagFields* fields);
}

struct Id3TaggerApi {
    decltype(&kovexWriteId3Tag) write_tag;
    decltype(&kovexWriteId3TagToStream) write_tag_to_stream;
};

constexpr const char* kId3TaggerFileName = "kovex_id3.so";
