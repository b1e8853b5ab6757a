#include "settings/run_settings.h"

void init_run_settings(RunSettings& settings) {
    settings = RunSettings{};
    settings.bitrate = 192;
    settings.max_bitrate = 0;  // what the engine record holds when no rule sets a maximum
    settings.vbr_flag = 0;
    settings.vbr_quality = 0;
    settings.input_rate = 44100;
    settings.original_flag = 1;
    settings.mode_kind = kModeJointStereo;
    settings.progress_style = kProgressBar;
}
