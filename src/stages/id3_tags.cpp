#include "stages/id3_tags.h"

#include <dlfcn.h>

#include "decisions/screen_texts.h"
#include "stages/library_search.h"

namespace {

bool report(bool written) {
    if (!written) std::fputs(kOutputWriteError, stderr);
    return written;
}

}  // namespace

bool load_id3_tagger(const char* program_path, Id3Tagger& tagger) {
    tagger.library = load_program_library(program_path, kId3TaggerFileName);
    const struct {
        const char* name;
        void** slot;
    } kEntryPoints[] = {
        {"kovexWriteId3Tag", reinterpret_cast<void**>(&tagger.api.write_tag)},
        {"kovexWriteId3TagToStream", reinterpret_cast<void**>(&tagger.api.write_tag_to_stream)},
    };
    bool bound = tagger.library != nullptr;
    for (const auto& entry : kEntryPoints) {
        *entry.slot = bound ? dlsym(tagger.library, entry.name) : nullptr;
        bound = bound && *entry.slot != nullptr;
    }
    if (!bound) std::fprintf(stderr, "  Could not load the ID3 tagger %s", kId3TaggerFileName);
    return bound;
}

bool write_id3_tag(const Id3Tagger& tagger, const char* mp3_path, const TagFields& tags) {
    return report(tagger.api.write_tag(mp3_path, &tags) == 0);
}

bool write_id3_tag_to_stream(const Id3Tagger& tagger, std::FILE* output, const TagFields& tags) {
    return report(tagger.api.write_tag_to_stream(output, &tags) == 0);
}
