// The encode loop and its finalisation: the input's samples to a finished MP3.
#pragma once

#include <cstdint>

#include "frontend/command_text.h"
#include "frontend/run_sequence.h"
#include "settings/engine_config.h"
#include "settings/run_settings.h"
#include "settings/wav_probe.h"

// Opens the stream, encodes the probe's samples chunk by chunk (mixed down or
// doubled when the file's channels differ from the mode's), flushes, releases
// the stream, buffers and files, writes the VBR header and, unless "-GUI",
// waits for Enter.
// Returns the run's exit status.
int encode_and_finalise(RunResources& resources, EngineConfig& config, RunSettings& settings,
                        const CommandText& command_text, const FileNames& names, const WavProbe& probe);
