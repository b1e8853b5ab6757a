// The progress line after every chunk, with its time estimates; pure, the clock given.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decisions/run_settings.h"

// Lives from the first chunk to the end of the encode loop; starts all zero.
struct TimeEstimates {
    bool total_made = false;  // false until the first estimate of the total
    double total_whole_seconds = 0;
    double total_minutes = 0;
    double total_seconds = 0;
    double elapsed_whole_seconds = 0;
    double elapsed_minutes = 0;
    double elapsed_seconds = 0;
    double remaining_minutes = 0;
    double remaining_seconds = 0;
};

// Share of the input read so far, in percent.
double progress_percent(uint64_t bytes_read, uint64_t input_size);

// Brings the estimates up to date for `bytes_read` at clock `clock_ms`.
void update_time_estimates(uint64_t bytes_read, uint64_t input_size, uint64_t clock_ms,
                           TimeEstimates& estimates);

// Formats the progress line of `progress_style` into `out`; returns its length.
// An input of unknown size (kUnknownSize) gets a line of what is read and the elapsed time.
std::size_t format_progress_line(int progress_style, uint64_t bytes_read, uint64_t input_size,
                                 const TimeEstimates& estimates, char* out, std::size_t capacity);

// The line a run shows: LAME's progress table under -GUI, else the chosen style.
int displayed_progress_style(const RunSettings& settings);
