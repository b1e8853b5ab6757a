#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/engine_api.h"

namespace {

// The folder of the program's full path; none for a bare or relative name,
// which would mean the current directory.
std::string program_folder(const char* program_path) {
    const char* slash = std::strrchr(program_path, '/');
    if (program_path[0] != '/' || slash == nullptr) return std::string();
    return std::string(program_path, static_cast<std::size_t>(slash - program_path));
}

// Beside the program, then the installed layout, then the system's library
// search. Never the current directory: a file planted there must not load.
void* load_engine_library(const char* program_path) {
    std::string folder = program_folder(program_path);
    if (!folder.empty()) {
        const std::string candidates[] = {
            folder + "/" + kEngineFileName,
            folder + "/../lib/kovex/" + kEngineFileName,
        };
        for (const std::string& candidate : candidates) {
            if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
        }
    }
    return dlopen(kEngineFileName, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

bool bind_engine(const char* program_path, void*& library, EngineApi& api) {
    library = load_engine_library(program_path);
    if (library == nullptr) {
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
    for (const auto& entry : kEntryPoints) *entry.slot = dlsym(library, entry.name);
    for (const auto& entry : kEntryPoints) {
        if (*entry.slot == nullptr) {
            std::fputs("LAME MP3 Engine appears to be incompatible with this interface.", stdout);
            return false;
        }
    }
    return true;
}
