// The ordered settings rules: what the switches say and what the header says
// become the run's resolved settings.
#pragma once

#include "decisions/command_line.h"
#include "decisions/run_settings.h"
#include "decisions/wav_header.h"

// Applies the rules in their fixed order to the defaults. `argument_count`
// counts the program's own path as one argument.
RunSettings resolve_settings(const Switches& switches, int argument_count, const WavProbe& probe);
