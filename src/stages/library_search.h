// Where the program finds the libraries it loads at run time: the engine and
// the ID3 tagger.
#pragma once

// Loads `file_name` from beside the program (the folder of `program_path`, its
// full path), then from the installed layout, then through the system's
// library search, never from the current directory: a file planted there must
// not load. Null when none loads.
void* load_program_library(const char* program_path, const char* file_name);
