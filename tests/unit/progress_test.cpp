// The progress lines and their time estimates, chunk after chunk, with the
// clock given by the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decisions/progress_arithmetic.h"
#include "decisions/run_settings.h"

namespace {

std::string bar(int cells) {
    return "  File progress: \xB3" + std::string(static_cast<std::size_t>(cells), '\xB2') +
           std::string(static_cast<std::size_t>(39 - cells), ' ') + "\xB3";
}

std::string line_after(int style, uint64_t bytes_read, uint64_t input_size, uint64_t clock_ms,
                       TimeEstimates& estimates) {
    update_time_estimates(bytes_read, input_size, clock_ms, estimates);
    char out[512];
    std::size_t length = format_progress_line(style, bytes_read, input_size, estimates, out, sizeof out);
    return std::string(out, length);
}

struct Step {
    uint64_t bytes_read;
    uint64_t clock_ms;
    std::string line;
};

struct Scenario {
    const char* why;
    int style;
    uint64_t input_size;
    std::vector<Step> steps;
};

TEST(Progress, LinesChunkAfterChunk) {
    const Scenario scenarios[] = {
        {"below 5 % the estimate is twenty times the clock; then it is frozen and the rest falls",
         kProgressBar,
         1000000,
         {
             {10000, 700, bar(0) + " (1.00%) ETA 0:14\r"},
             {60000, 3200, bar(2) + " (6.00%) ETA 0:11\r"},
             {500000, 5000, bar(20) + " (50.00%) ETA 0:09\r"},
             {510000, 6000, bar(20) + " (51.00%) ETA 0:08\r"},
         }},
        {"the estimate follows the clock while below 5 %", kProgressBar, 1000000,
         {
             {10000, 1000, bar(0) + " (1.00%) ETA 0:19\r"},
             {40000, 2000, bar(1) + " (4.00%) ETA 0:38\r"},
         }},
        {"a run that outlasts its estimate shows 0:00, also a minute beyond", kProgressBar, 1000000,
         {
             {10000, 700, bar(0) + " (1.00%) ETA 0:14\r"},
             {900000, 20000, bar(36) + " (90.00%) ETA 0:00\r"},
             {990000, 75000, bar(39) + " (99.00%) ETA 0:00\r"},
         }},
        {"a first chunk already at 5 % or more makes the estimate from that chunk", kProgressBar, 100000,
         {
             {10000, 2000, bar(4) + " (10.00%) ETA 0:18\r"},
             {20000, 3000, bar(8) + " (20.00%) ETA 0:17\r"},
         }},
        {"near the end P can show 100.00 while the bar stops at 39 cells", kProgressBar, 10000044,
         {
             {10000000, 700, bar(39) + " (100.00%) ETA 0:00\r"},
         }},
        {"an input that grew after it was measured never fills past the bar", kProgressBar, 1000,
         {
             {4000, 700, bar(39) + " (400.00%) ETA 0:00\r"},
         }},
        {"statistics line: 1,048,024 bytes are 1.00Mb", kProgressStatistics, 1048024,
         {
             {10480, 700, "  (1.00%) Complete... Input File-size = 1.00Mb... ETA 0:14\r"},
             {524012, 3200, "  (50.00%) Complete... Input File-size = 1.00Mb... ETA 0:11\r"},
         }},
        {"statistics line: a longer estimate in minutes", kProgressStatistics, 3 * 1048024,
         {
             {31440, 6265, "  (1.00%) Complete... Input File-size = 3.00Mb... ETA 1:59\r"},
         }},
        // A raw input of 5 GiB: counted in 32 bits, 4.5 GiB read would show as 10 %.
        {"sizes beyond 4 GiB: the statistics line", kProgressStatistics, (5ull << 30) + 44,
         {
             {4608, 700, "  (0.00%) Complete... Input File-size = 5122.70Mb... ETA 0:14\r"},
             {4831838208ull, 3200, "  (90.00%) Complete... Input File-size = 5122.70Mb... ETA 0:11\r"},
         }},
        {"sizes beyond 4 GiB: the bar", kProgressBar, (5ull << 30) + 44,
         {{4831838208ull, 700, bar(35) + " (90.00%) ETA 0:00\r"}}},
        {"sizes beyond 4 GiB: the emulation line", kProgressEmulation, (5ull << 30) + 44,
         {{4831838208ull, 700, "  4500/5000   (89%)|   0:01/     0:01|    0:01/    0:01|   6.0000x|    0:00  \r"}}},
        {"emulation line: frame of 5000, share of 99, both times twice, fixed 6.0000x", kProgressEmulation, 1000000,
         {
             {10000, 700, "    50/5000   ( 1%)|   0:01/     0:14|    0:01/    0:14|   6.0000x|    0:14  \r"},
             {250000, 3200, "  1250/5000   (25%)|   0:03/     0:14|    0:03/    0:14|   6.0000x|    0:11  \r"},
             {999990, 4000, "  5000/5000   (99%)|   0:04/     0:14|    0:04/    0:14|   6.0000x|    0:10  \r"},
         }},
        {"emulation line: 125.3 s is 2:05; seconds round by their format alone", kProgressEmulation, 1000000,
         {
             {10000, 6265, "    50/5000   ( 1%)|   0:06/     2:05|    0:06/    2:05|   6.0000x|    1:59  \r"},
             {60000, 59600, "   300/5000   ( 6%)|   0:60/     2:05|    0:60/    2:05|   6.0000x|    1:06  \r"},
             {70000, 60000, "   350/5000   ( 7%)|   1:00/     2:05|    1:00/    2:05|   6.0000x|    1:05  \r"},
             {80000, 120000, "   400/5000   ( 8%)|   2:00/     2:05|    2:00/    2:05|   6.0000x|    0:05  \r"},
             {90000, 125300, "   450/5000   ( 9%)|   2:05/     2:05|    2:05/    2:05|   6.0000x|    0:00  \r"},
         }},
    };
    for (const Scenario& scenario : scenarios) {
        SCOPED_TRACE(scenario.why);
        TimeEstimates estimates;
        for (const Step& step : scenario.steps) {
            EXPECT_EQ(line_after(scenario.style, step.bytes_read, scenario.input_size, step.clock_ms, estimates),
                      step.line)
                << "at " << step.bytes_read << " bytes, " << step.clock_ms << " ms";
        }
    }
}

TEST(Progress, TimesStayAsTheyWereOnceAllIsRead) {
    TimeEstimates estimates;
    update_time_estimates(10000, 1000000, 700, estimates);
    update_time_estimates(500000, 1000000, 3200, estimates);
    TimeEstimates before = estimates;
    update_time_estimates(1000000, 1000000, 9000, estimates);
    EXPECT_EQ(estimates.elapsed_whole_seconds, before.elapsed_whole_seconds);
    EXPECT_EQ(estimates.remaining_seconds, before.remaining_seconds);
    EXPECT_EQ(estimates.total_whole_seconds, 14);
}

TEST(Progress, LineIsCutToItsBuffer) {
    TimeEstimates estimates;
    update_time_estimates(10000, 1000000, 700, estimates);
    char small[10];
    std::size_t length = format_progress_line(kProgressBar, 10000, 1000000, estimates, small, sizeof small);
    EXPECT_EQ(length, sizeof small - 1);
    EXPECT_EQ(std::string(small), "  File pr");
}

}  // namespace
