// The values of one run that the program shows to the user and reasons with.
#pragma once

enum ModeKind : int {
    kModeStereo = 1,
    kModeMono = 2,
    kModeJointStereo = 3,
    kModeDualChannel = 4,
};

enum ProgressStyle : int {
    kProgressStatistics = 0,
    kProgressBar = 1,
    kProgressEmulation = 2,
};

struct RunSettings {
    int bitrate;
    int max_bitrate;
    int vbr_flag;
    int vbr_quality;
    int input_rate;
    int copyright_flag;
    int original_flag;
    int private_flag;
    int crc_flag;
    int fixed_flag;
    int effective_bitrate;
    int mode_kind;
    int progress_style;
};

void init_run_settings(RunSettings& settings);
