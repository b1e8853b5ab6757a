#include "stages/library_search.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "kovex_build.h"

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
void* load_through_system_search(const char* file_name) {
    const char* search_path = std::getenv("LD_LIBRARY_PATH");
    bool planted = false;
    if (search_path != nullptr && *search_path != '\0') {
        for (const char* entry = search_path;; ++entry) {
            const char* end = entry + std::strcspn(entry, ":;");
            std::string folder(entry, static_cast<std::size_t>(end - entry));
            std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + file_name;
            if (folder.empty() || folder[0] != '/') {
                planted = planted || access(candidate.c_str(), F_OK) == 0;
            } else if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                return library;
            }
            if (*end == '\0') break;
            entry = end;
        }
    }
    return planted ? nullptr : dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

void* load_program_library(const char* program_path, const char* file_name) {
    std::string folder = program_folder(program_path);
    if (!folder.empty()) {
        const std::string candidates[] = {
            folder + "/" + file_name,
            folder + "/" + kEngineFolderFromProgram + "/" + file_name,
        };
        for (const std::string& candidate : candidates) {
            if (void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
        }
    }
    return load_through_system_search(file_name);
}
