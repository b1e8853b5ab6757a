// The run's own files: the program's path, the standard descriptors, the
// input and the output, opened and closed here.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>

#include "decisions/command_line.h"

struct RunFiles {
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;
    bool output_is_regular = false;  // a FIFO or a device has no VBR header to write
    int output_lock = -1;            // holds the output's lock until the file is complete
};

// The running program's full path as the system reports it, or `fallback`.
void program_path(const char* fallback, char (&path)[PATH_MAX]);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no
// file the run opens lands on one of them and receives screen text.
void ensure_standard_descriptors();

bool open_input_file(const FileNames& names, RunFiles& files);

// The input's length in bytes, measured once at the start.
uint64_t measure_input_size(std::FILE* input);

// False, with its message, when the output name is the input file itself.
bool output_spares_input(const FileNames& names, const RunFiles& files);

// Opens the output for writing. A regular file is locked against a second run
// before it is truncated, and stays locked until release_output_lock.
bool open_output_file(const FileNames& names, RunFiles& files);

// Closes the input, then the output; false, with its message, when the output
// could not be written out whole.
bool close_run_files(RunFiles& files);

void release_output_lock(RunFiles& files);
