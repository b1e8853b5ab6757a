// The resolved settings of one run: what the program shows and reasons with,
// what the engine record is filled from, and how the run goes. The member
// initialisers are the defaults, the one table that the initialiser and the
// single-argument rule share.
#pragma once

#include <cstdint>

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
    // Shown to the user, and, where the engine record has the same field, told the engine.
    int bitrate = 192;
    int max_bitrate = 0;  // what the engine record holds when no rule sets a maximum
    int vbr_flag = 0;
    int vbr_quality = 0;
    int input_rate = 44100;
    int copyright_flag = 0;
    int original_flag = 1;
    int private_flag = 0;
    int crc_flag = 0;
    int fixed_flag = 0;
    int effective_bitrate = 0;  // set by the rules
    int mode_kind = kModeJointStereo;
    int progress_style = kProgressBar;

    // Told the engine only, where it differs from what is shown or is not shown at all.
    int output_rate = 44100;
    int engine_max_bitrate = 0;
    int engine_vbr_quality = 4;
    int vbr_header_flag = 0;
    int abr_flag = 0;
    int no_reservoir_flag = 0;
    int strict_iso_flag = 0;

    // How the run goes.
    bool gui = false;        // LAME-style screen output and no waits
    bool raw_input = false;  // headerless samples from byte 44
};

inline void init_run_settings(RunSettings& settings) { settings = RunSettings{}; }
