// kovex_id3.so: the ID3v2 tag of the tag switches, written with TagLib, the
// library music players and taggers use.

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include "tagger_interface/id3_tagger_api.h"

#define ID3_TAGGER_EXPORT __attribute__((visibility("default")))

namespace {

// ID3v2.3, which every player reads; its text is Latin-1 or UTF-16.
constexpr TagLib::ID3v2::Version kTagVersion = TagLib::ID3v2::v3;

const struct {
    const char* frame_id;
    const char* Id3TagFields::*field;
} kTextFrames[] = {
    {"TIT2", &Id3TagFields::title}, {"TPE1", &Id3TagFields::artist}, {"TALB", &Id3TagFields::album},
    {"TDRC", &Id3TagFields::year},  {"TRCK", &Id3TagFields::track},  {"TCON", &Id3TagFields::genre},
};

// Whether `text` is well-formed UTF-8: no stray continuation byte, no
// sequence cut short, no overlong two-byte form.
bool is_utf8(const unsigned char* text) {
    while (*text != 0) {
        unsigned char lead = *text++;
        int following = lead < 0x80             ? 0
                        : (lead & 0xE0) == 0xC0 ? 1
                        : (lead & 0xF0) == 0xE0 ? 2
                        : (lead & 0xF8) == 0xF0 ? 3
                                                : -1;
        if (following < 0 || (following == 1 && lead < 0xC2)) return false;
        for (; following > 0; --following)
            if ((*text++ & 0xC0) != 0x80) return false;
    }
    return true;
}

// The command line's text is UTF-8 on today's systems; text that is not is
// taken as Latin-1, byte for byte, rather than lost.
TagLib::String text_of(const char* bytes) {
    bool utf8 = is_utf8(reinterpret_cast<const unsigned char*>(bytes));
    return TagLib::String(bytes, utf8 ? TagLib::String::UTF8 : TagLib::String::Latin1);
}

// Plain ASCII stays Latin-1, as LAME writes it; anything else is UTF-16.
TagLib::String::Type encoding_of(const TagLib::String& text) {
    return text.isAscii() ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

void fill_tag(TagLib::ID3v2::Tag& tag, const Id3TagFields& fields) {
    for (const auto& frame : kTextFrames) {
        const char* value = fields.*frame.field;
        if (value == nullptr) continue;
        TagLib::String text = text_of(value);
        tag.removeFrames(frame.frame_id);
        auto* text_frame = new TagLib::ID3v2::TextIdentificationFrame(frame.frame_id, encoding_of(text));
        text_frame->setText(text);
        tag.addFrame(text_frame);  // the tag owns its frames
    }
    if (fields.comment != nullptr) {
        TagLib::String text = text_of(fields.comment);
        tag.removeFrames("COMM");
        auto* comment = new TagLib::ID3v2::CommentsFrame(encoding_of(text));
        comment->setLanguage("eng");
        comment->setText(text);
        tag.addFrame(comment);
    }
}

}  // namespace

// No exception crosses into the program: a failure is a result.
ID3_TAGGER_EXPORT int kovexWriteId3Tag(const char* mp3_path, const Id3TagFields* fields) {
    if (mp3_path == nullptr || fields == nullptr) return 1;
    try {
        TagLib::MPEG::File file(mp3_path, false);
        if (!file.isValid()) return 1;
        fill_tag(*file.ID3v2Tag(true), *fields);
        return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, kTagVersion) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

ID3_TAGGER_EXPORT int kovexWriteId3TagToStream(std::FILE* stream, const Id3TagFields* fields) {
    if (stream == nullptr || fields == nullptr) return 1;
    try {
        TagLib::ID3v2::Tag tag;
        fill_tag(tag, *fields);
        TagLib::ByteVector bytes = tag.render(kTagVersion);
        return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}
