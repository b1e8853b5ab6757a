#include "stages/id3_tags.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include "decisions/screen_texts.h"

namespace {

// ID3v2.3, which every player reads; its text is Latin-1 or UTF-16.
constexpr TagLib::ID3v2::Version kTagVersion = TagLib::ID3v2::v3;

const struct {
    const char* frame_id;
    const char* TagFields::*field;
} kTextFrames[] = {
    {"TIT2", &TagFields::title}, {"TPE1", &TagFields::artist}, {"TALB", &TagFields::album},
    {"TDRC", &TagFields::year},  {"TRCK", &TagFields::track},  {"TCON", &TagFields::genre},
};

// The command line's text is UTF-8; plain ASCII stays Latin-1, as LAME writes it.
TagLib::String text_of(const char* utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

TagLib::String::Type encoding_of(const TagLib::String& text) {
    return text.isAscii() ? TagLib::String::Latin1 : TagLib::String::UTF16;
}

void fill_tag(TagLib::ID3v2::Tag& tag, const TagFields& tags) {
    for (const auto& frame : kTextFrames) {
        const char* value = tags.*frame.field;
        if (value == nullptr) continue;
        TagLib::String text = text_of(value);
        tag.removeFrames(frame.frame_id);
        auto* text_frame = new TagLib::ID3v2::TextIdentificationFrame(frame.frame_id, encoding_of(text));
        text_frame->setText(text);
        tag.addFrame(text_frame);  // the tag owns its frames
    }
    if (tags.comment != nullptr) {
        TagLib::String text = text_of(tags.comment);
        tag.removeFrames("COMM");
        auto* comment = new TagLib::ID3v2::CommentsFrame(encoding_of(text));
        comment->setLanguage("eng");
        comment->setText(text);
        tag.addFrame(comment);
    }
}

bool report(bool written) {
    if (!written) std::fputs(kOutputWriteError, stderr);
    return written;
}

}  // namespace

bool write_id3_tag(const char* mp3_path, const TagFields& tags) {
    TagLib::MPEG::File file(mp3_path, false);
    if (!file.isValid()) return report(false);
    fill_tag(*file.ID3v2Tag(true), tags);
    return report(file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, kTagVersion));
}

bool write_id3_tag_to_stream(std::FILE* output, const TagFields& tags) {
    TagLib::ID3v2::Tag tag;
    fill_tag(tag, tags);
    TagLib::ByteVector bytes = tag.render(kTagVersion);
    return report(std::fwrite(bytes.data(), 1, bytes.size(), output) == bytes.size());
}
