// The progress line printed after every chunk, and the estimates of the total,
// elapsed and remaining running times that it shows.
#include "decisions/progress_arithmetic.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "decisions/run_settings.h"
#include "decisions/wav_header.h"

namespace {

// The share of the input that fixes the estimate of the total: the time for
// the first 5 % is taken as a twentieth of the whole.
constexpr double kEstimatePercent = 5.0;

constexpr std::size_t kBarCells = 39;      // blanks between the two 0xB3 bytes
constexpr std::size_t kBarFirstCell = 18;  // the first blank after the opening 0xB3
const char kBarTemplate[] = "  File progress: \xB3                                       \xB3";
static_assert(sizeof kBarTemplate == 59, "the bar is 58 characters");

void set_total_estimate(int64_t estimate_ms, TimeEstimates& estimates) {
    double seconds = static_cast<double>(estimate_ms) * 0.001;
    estimates.total_whole_seconds = static_cast<double>(estimate_ms / 1000);
    estimates.total_minutes = seconds / 60.0;
    estimates.total_seconds = seconds - 60.0 * std::trunc(estimates.total_minutes);
    estimates.total_made = true;
}

int whole_minutes(double minutes) { return static_cast<int>(minutes); }

std::size_t finish(int length, std::size_t capacity) {
    if (length < 0 || capacity == 0) return 0;
    return static_cast<std::size_t>(length) < capacity ? static_cast<std::size_t>(length) : capacity - 1;
}

std::size_t format_bar_line(uint64_t bytes_read, uint64_t input_size, const TimeEstimates& estimates,
                            char* out, std::size_t capacity) {
    char bar[sizeof kBarTemplate];
    std::memcpy(bar, kBarTemplate, sizeof kBarTemplate);
    uint64_t cells = input_size == 0 ? 0 : bytes_read * 40 / input_size;
    // An input that grew after it was measured must not fill past the bar.
    if (cells > kBarCells) cells = kBarCells;
    std::memset(bar + kBarFirstCell, '\xB2', static_cast<std::size_t>(cells));
    int length = std::snprintf(out, capacity, "%s (%0.2f%%) ETA %d:%02.0f\r", bar,
                               progress_percent(bytes_read, input_size),
                               whole_minutes(estimates.remaining_minutes), estimates.remaining_seconds);
    return finish(length, capacity);
}

std::size_t format_statistics_line(uint64_t bytes_read, uint64_t input_size, const TimeEstimates& estimates,
                                   char* out, std::size_t capacity) {
    // Megabytes of 1,048,024 bytes, as this line has always counted them.
    double input_megabytes = static_cast<double>(input_size) * (1.0 / 1048024.0);
    int length = std::snprintf(out, capacity,
                               "  (%0.2f%%) Complete... Input File-size = %0.2fMb... ETA %d:%02.0f\r",
                               progress_percent(bytes_read, input_size), input_megabytes,
                               whole_minutes(estimates.remaining_minutes), estimates.remaining_seconds);
    return finish(length, capacity);
}

// Mimics the progress table of the LAME command-line encoder: the frame is
// counted out of a fixed 5000, the share out of 99.
std::size_t format_emulation_line(uint64_t bytes_read, uint64_t input_size, const TimeEstimates& estimates,
                                  char* out, std::size_t capacity) {
    double size = static_cast<double>(input_size);
    double frame = input_size == 0 ? 0.0 : static_cast<double>(bytes_read) * 5000.0 / size;
    double share = input_size == 0 ? 0.0 : static_cast<double>(bytes_read) * 99.0 / size;
    int elapsed = whole_minutes(estimates.elapsed_minutes);
    int total = whole_minutes(estimates.total_minutes);
    int length = std::snprintf(
        out, capacity,
        "  %4.0f/5000   (%2.0f%%)|   %d:%02.0f/     %d:%02.0f|    %d:%02.0f/    %d:%02.0f|   6.0000x|    %d:%02.0f  \r",
        frame, share, elapsed, estimates.elapsed_seconds, total, estimates.total_seconds, elapsed,
        estimates.elapsed_seconds, total, estimates.total_seconds, whole_minutes(estimates.remaining_minutes),
        estimates.remaining_seconds);
    return finish(length, capacity);
}

// A pipe of unknown length: no share, bar or estimate, only what is known.
std::size_t format_unsized_line(uint64_t bytes_read, const TimeEstimates& estimates, char* out,
                                std::size_t capacity) {
    double megabytes = static_cast<double>(bytes_read) * (1.0 / 1048024.0);
    int length = std::snprintf(out, capacity, "  %0.2fMb read... Elapsed %d:%02.0f\r", megabytes,
                               whole_minutes(estimates.elapsed_minutes), estimates.elapsed_seconds);
    return finish(length, capacity);
}

}  // namespace

double progress_percent(uint64_t bytes_read, uint64_t input_size) {
    if (input_size == 0) return 0.0;
    return static_cast<double>(bytes_read) * 100.0 / static_cast<double>(input_size);
}

void update_time_estimates(uint64_t bytes_read, uint64_t input_size, uint64_t clock_ms,
                           TimeEstimates& estimates) {
    double percent = progress_percent(bytes_read, input_size);
    int64_t clock = static_cast<int64_t>(clock_ms);

    // Below 5 % the estimate follows the clock; from the first chunk at 5 % on
    // it stays frozen. An input so short that its first chunk already passes
    // 5 % gets its estimate from that chunk alone.
    if (percent < kEstimatePercent) {
        set_total_estimate(20 * clock, estimates);
    } else if (!estimates.total_made) {
        set_total_estimate(static_cast<int64_t>(static_cast<double>(clock) * 100.0 / percent), estimates);
    }

    if (percent >= 100.0) return;  // the times stay as they were

    double seconds = static_cast<double>(clock) * 0.001;
    estimates.elapsed_whole_seconds = static_cast<double>(clock / 1000);
    estimates.elapsed_minutes = seconds / 60.0;
    estimates.elapsed_seconds = seconds - 60.0 * std::trunc(estimates.elapsed_minutes);

    // Once the run outlasts its estimate, the remaining time shows 0:00.
    double remaining = estimates.total_whole_seconds - estimates.elapsed_whole_seconds;
    if (remaining < 0) remaining = 0;
    estimates.remaining_minutes = remaining / 60.0;
    estimates.remaining_seconds = remaining - 60.0 * std::trunc(estimates.remaining_minutes);
}

std::size_t format_progress_line(int progress_style, uint64_t bytes_read, uint64_t input_size,
                                 const TimeEstimates& estimates, char* out, std::size_t capacity) {
    if (input_size == kUnknownSize) return format_unsized_line(bytes_read, estimates, out, capacity);
    switch (progress_style) {
        case kProgressStatistics:
            return format_statistics_line(bytes_read, input_size, estimates, out, capacity);
        case kProgressEmulation:
            return format_emulation_line(bytes_read, input_size, estimates, out, capacity);
        default:
            return format_bar_line(bytes_read, input_size, estimates, out, capacity);
    }
}

int displayed_progress_style(const RunSettings& settings) {
    return settings.gui ? kProgressEmulation : settings.progress_style;
}
