// The ordered settings rules: command text and header probe to the run's settings.
#pragma once

#include "settings/engine_config.h"
#include "settings/run_settings.h"
#include "settings/wav_probe.h"

struct CommandText;

// `argument_count` counts the program's own path as one argument.
void resolve_settings(const CommandText& command_text, int argument_count, const WavProbe& probe,
                      EngineConfig& config, RunSettings& settings);
