#include "decisions/engine_record.h"

#include <cstring>

namespace {

// The channel mode lives in both records; they always change together, paired so.
struct ModePair {
    int mode_kind;
    int32_t engine_mode;
};

constexpr ModePair kModePairs[] = {
    {kModeStereo, kEngineModeStereo},
    {kModeMono, kEngineModeMono},
    {kModeJointStereo, kEngineModeJointStereo},
    {kModeDualChannel, kEngineModeDualChannel},
};

constexpr int32_t kNoPreset = -1;
constexpr uint32_t kPsychoacousticModel = 1;
constexpr int32_t kVbrMethod = 2;  // the engine's default VBR method

}  // namespace

int32_t engine_mode_of(int mode_kind) {
    for (const ModePair& pair : kModePairs)
        if (pair.mode_kind == mode_kind) return pair.engine_mode;
    return kEngineModeJointStereo;
}

EngineConfig engine_config_of(const RunSettings& settings) {
    EngineConfig config;
    std::memset(&config, 0, sizeof config);
    config.config_kind = kEngineConfigKind;
    config.struct_version = kEngineConfigVersion;
    config.struct_size = kEngineConfigSize;
    config.input_rate = static_cast<uint32_t>(settings.input_rate);
    config.output_rate = static_cast<uint32_t>(settings.output_rate);
    config.mode = engine_mode_of(settings.mode_kind);
    config.bitrate = static_cast<uint32_t>(settings.bitrate);
    config.max_bitrate = static_cast<uint32_t>(settings.engine_max_bitrate);
    config.preset = kNoPreset;
    config.psy_model = kPsychoacousticModel;
    config.private_flag = static_cast<uint32_t>(settings.private_flag);
    config.crc_flag = static_cast<uint32_t>(settings.crc_flag);
    config.copyright_flag = static_cast<uint32_t>(settings.copyright_flag);
    config.original_flag = static_cast<uint32_t>(settings.original_flag);
    config.vbr_header_flag = static_cast<uint32_t>(settings.vbr_header_flag);
    config.vbr_flag = static_cast<uint32_t>(settings.vbr_flag);
    config.vbr_quality = settings.engine_vbr_quality;
    config.abr = static_cast<uint32_t>(settings.abr_flag);
    config.vbr_method = kVbrMethod;
    config.no_reservoir_flag = static_cast<uint32_t>(settings.no_reservoir_flag);
    config.strict_iso_flag = static_cast<uint32_t>(settings.strict_iso_flag);
    return config;
}

void init_engine_config(EngineConfig& config) { config = engine_config_of(RunSettings{}); }
