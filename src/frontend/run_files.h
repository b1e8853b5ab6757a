// The run's own file handling: the program's path, the standard descriptors
// and the two files it opens.
#pragma once

#include <climits>
#include <cstdint>

#include "frontend/command_text.h"
#include "frontend/run_sequence.h"

// The running program's full path as the system reports it, or `fallback`.
void program_path(const char* fallback, char (&path)[PATH_MAX]);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no
// file the run opens lands on one of them and receives screen text.
void ensure_standard_descriptors();

bool open_input_file(const FileNames& names, RunResources& resources);

// The input's length in bytes, measured once at the start.
uint64_t measure_input_size(std::FILE* input);

// False, with its message, when the output name is the input file itself.
bool output_spares_input(const FileNames& names, const RunResources& resources);

// Opens the output for writing. A regular file is locked against a second run
// before it is truncated, and stays locked until release_output_lock.
bool open_output_file(const FileNames& names, RunResources& resources);
void release_output_lock(RunResources& resources);
