// The output file's name: ".mp3" over a three- or four-character extension, or appended.
#pragma once

#include <cstddef>

#include "decisions/command_line.h"

// The length the output name will have once derive_output_name has run.
std::size_t derived_output_length(const char* name);

// Gives the output name its ".mp3" extension, in place.
void derive_output_name(char (&output_name)[kNameCapacity + 1]);
