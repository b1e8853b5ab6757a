// The run's own files: the program's path, the standard descriptors, the
// input and the output, opened and closed here. "-" stands for standard input
// and standard output.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>

#include "decisions/command_line.h"

struct RunFiles {
    std::FILE* input = nullptr;
    std::FILE* output = nullptr;
    // The MP3 is a whole regular file, so its VBR header and tag can be written
    // into it once it is complete; not so for a pipe or a device.
    bool output_rewritable = false;
    int output_lock = -1;        // holds the output's lock until the file is complete
    int mp3_standard_output = -1;  // standard output, kept for the MP3
    char output_path[PATH_MAX] = "";  // the name under which the engine and the tagger reopen the MP3
};

// The running program's full path as the system reports it, or `fallback`.
void program_path(const char* fallback, char (&path)[PATH_MAX]);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that no
// file the run opens lands on one of them and receives screen text.
void ensure_standard_descriptors();

// Keeps standard output for the MP3 and sends everything written to standard
// output from now on, every screen text, to standard error instead.
void give_standard_output_to_the_mp3(RunFiles& files);

bool open_input_file(const FileNames& names, RunFiles& files);

// The input's length in bytes, measured once at the start; kUnknownSize for a pipe.
uint64_t measure_input_size(std::FILE* input);

// False, with its message, when the output is the input file itself.
bool output_spares_input(const FileNames& names, const RunFiles& files);

// Opens the output for writing. A regular file is locked against a second run
// before it is truncated, and stays locked until release_output_lock.
bool open_output_file(const FileNames& names, RunFiles& files);

// Closes the input, then the output; false, with its message, when the output
// could not be written out whole.
bool close_run_files(RunFiles& files);

void release_output_lock(RunFiles& files);
