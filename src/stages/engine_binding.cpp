#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "decisions/screen_texts.h"
#include "kovex_build.h"
#include "stages/engine_binding.h"

namespace {

// The folder of the program's full path; none for a bare or relative name,
// which would mean the current directory.
std::string program_folder(const char* program_path) {
    const char* slash = std::strrchr(program_path, '/');
    if (program_path[0] != '/' || slash == nullptr) return std::string();
    return std::string(program_path, static_cast<std::size_t>(slash - program_path));
}

// The system's search by bare name, without the current directory. The loader
// read LD_LIBRARY_PATH at start-up, where an empty or relative entry means a
// folder taken from the current directory; it cannot be cleaned now. So its
// absolute entries are tried here by full path, and the bare name is searched
// for only while no relative entry holds a file of that name.
void* load_through_system_search() {
    const char* search_path = std::getenv("LD_LIBRARY_PATH");
    bool planted = false;
    if (search_path != nullptr && *search_path != '\0') {
        for (const char* entry = search_path;; ++entry) {
            const char* end = entry + std::strcspn(entry, ":;");
            std::string folder(entry, static_cast<std::size_t>(end - entry));
            std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + kEngineFileName;
            if (folder.empty() || folder[0] != '/') {
                planted = planted || access(candidate.c_str(), F_OK) == 0;
            } else if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return library;
            }
            if (*end == '\0') break;
            entry = end;
        }
    }
    return planted ? nullptr : dlopen(kEngineFileName, RTLD_NOW | RTLD_LOCAL);
}

// Beside the program, then the installed layout, then the system's library
// search. Never the current directory: a file planted there must not load.
void* load_engine_library(const char* program_path) {
    std::string folder = program_folder(program_path);
    if (!folder.empty()) {
        const std::string candidates[] = {
            folder + "/" + kEngineFileName,
            folder + "/" + kEngineFolderFromProgram + "/" + kEngineFileName,
        };
        for (const std::string& candidate : candidates) {
            if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
        }
    }
    return load_through_system_search();
}

}  // namespace

bool bind_engine(const char* program_path, EngineBinding& engine) {
    EngineApi& api = engine.api;
    engine.library = load_engine_library(program_path);
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
