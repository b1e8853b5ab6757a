// The engine record filled from the resolved settings.
#pragma once

#include "decisions/run_settings.h"
#include "engine_interface/engine_api.h"

// The engine's channel-mode code that goes with a mode kind.
int32_t engine_mode_of(int mode_kind);

// All 331 bytes: the settings' values, and the fixed values of the fields no setting changes.
EngineConfig engine_config_of(const RunSettings& settings);

// The record of the default settings.
void init_engine_config(EngineConfig& config);
