// The engine library, loaded and bound whole, and the calls made on it
// outside the encode loop.
#pragma once

#include "engine_interface/engine_api.h"

struct EngineBinding {
    void* library = nullptr;  // never unloaded
    EngineApi api{};
    EngineVersion version{};  // zero until beVersion fills it
};

// Loads the engine, looking first in the folder of `program_path` (the running
// program's full path), then in the installed layout, then through the
// system's search but never in the current directory; binds all six entry
// points and calls beVersion; or prints why not and returns false.
bool bind_engine(const char* program_path, EngineBinding& engine);

// Has the engine write its VBR header into the finished, closed file; false,
// with its message, when it could not.
bool write_vbr_header(const EngineBinding& engine, const char* output_name);
