#include "settings/engine_config.h"

#include <cstring>

void init_engine_config(EngineConfig& config) {
    std::memset(&config, 0, sizeof config);
    config.config_kind = kEngineConfigKind;
    config.struct_version = kEngineConfigVersion;
    config.struct_size = kEngineConfigSize;
    config.input_rate = 44100;
    config.output_rate = 44100;
    config.mode = kEngineModeJointStereo;
    config.bitrate = 192;
    config.preset = -1;
    config.psy_model = 1;
    config.original_flag = 1;
    config.vbr_quality = 4;
    config.vbr_method = 2;
}
