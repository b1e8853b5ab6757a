// The run's own file handling: the program's path and the two files it opens.
#pragma once

#include <climits>

#include "frontend/command_text.h"
#include "frontend/run_sequence.h"

// The running program's full path as the system reports it, or `fallback`.
void program_path(const char* fallback, char (&path)[PATH_MAX]);

bool open_input_file(const FileNames& names, RunResources& resources);

// False, with its message, when the output name is the input file itself.
bool output_spares_input(const FileNames& names, const RunResources& resources);

bool open_output_file(const FileNames& names, RunResources& resources);
