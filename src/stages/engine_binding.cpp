#include "stages/engine_binding.h"

#include <dlfcn.h>

#include <cstdio>

#include "decisions/screen_texts.h"
#include "stages/library_search.h"


bool bind_engine(const char* program_path, EngineBinding& engine) {
    EngineApi& api = engine.api;
    engine.library = load_program_library(program_path, kEngineFileName);
    if (engine.library == nullptr) {
        std::fputs("KOVA MP3 Encoder could not find the lame_enc.dll file.", stderr);
        return false;
    }
    // All six are looked up before any is tested: the engine is bound whole or not at all.
    const struct {
        const char* name;
        void** slot;
    } kEntryPoints[] = {
        {"beInitStream", reinterpret_cast<void**>(&api.init_stream)},
        {"beEncodeChunk", reinterpret_cast<void**>(&api.encode_chunk)},
        {"beDeinitStream", reinterpret_cast<void**>(&api.deinit_stream)},
        {"beCloseStream", reinterpret_cast<void**>(&api.close_stream)},
        {"beVersion", reinterpret_cast<void**>(&api.version)},
        {"beWriteVBRHeader", reinterpret_cast<void**>(&api.write_vbr_header)},
    };
    for (const auto& entry : kEntryPoints) *entry.slot = dlsym(engine.library, entry.name);
    for (const auto& entry : kEntryPoints) {
        if (*entry.slot == nullptr) {
            std::fputs("LAME MP3 Engine appears to be incompatible with this interface.", stdout);
            return false;
        }
    }
    api.version(&engine.version);
    return true;
}

bool write_vbr_header(const EngineBinding& engine, const char* output_name) {
    if (engine.api.write_vbr_header(output_name) == 0) return true;
    // A regular file without its VBR header is not complete.
    std::fputs(kOutputWriteError, stderr);
    return false;
}
