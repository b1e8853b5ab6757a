// kovex -GUI seen from a front end written for LAME's command-line encoder:
// standard output read from a pipe while the program runs, split at carriage
// returns and line feeds, the percentage taken from each progress line, and
// "Writing LAME Tag...done" as the sign that the file is complete.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// The progress table's line: "  %4.0f/5000   (%2.0f%%)|...".
bool progress_of(const std::string& line, int& frame, int& percent) {
    char bar = 0;
    return std::sscanf(line.c_str(), "%d/5000 (%d%%)%c", &frame, &percent, &bar) == 3 && bar == '|';
}

long file_size(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

struct FrontEndView {
    std::vector<std::string> lines;  // every non-empty piece between \r and \n
    std::vector<int> percents;       // one per progress line, in order
    int last_frame = -1;
    bool alive_at_first_progress = false;
    long output_size_at_first_progress = -1;
    double seconds_to_end = 0;       // from the start to the end of the screen output
    int status = -1;
    std::string err;
};

// Runs the program in a session of its own and reads its standard output as it
// comes. The pipe holds one page only, so the program cannot run far ahead of
// its reader: what arrives early was written early.
FrontEndView watch(const std::string& program, const std::vector<std::string>& args, const std::string& output) {
    FrontEndView view;
    kt::RunOptions options;
    options.pipe_size = 4096;
    const auto start = std::chrono::steady_clock::now();
    kt::Spawned spawned = kt::spawn_program(program, args, options);
    const pid_t child = spawned.pid;
    const int out_fd = spawned.out;
    const int err_fd = spawned.err;

    // A safety net against a hung program, not a measure of speed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    std::string pending;
    bool out_open = true;
    bool err_open = true;
    while (out_open || err_open) {
        pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
        poll(fds, 2, 100);
        if (std::chrono::steady_clock::now() > deadline) kill(child, SIGKILL);
        char buffer[512];
        if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t got = read(err_fd, buffer, sizeof buffer);
            if (got > 0) view.err.append(buffer, static_cast<std::size_t>(got));
            if (got == 0) err_open = false;
        }
        if (!out_open || !(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        ssize_t got = read(out_fd, buffer, sizeof buffer);
        if (got <= 0) {
            out_open = false;
            got = 0;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = pending.find_first_of("\r\n")) != std::string::npos || (!out_open && !pending.empty())) {
            if (end == std::string::npos) end = pending.size();
            std::string line = pending.substr(0, end);
            pending.erase(0, end < pending.size() ? end + 1 : end);
            if (line.empty()) continue;
            view.lines.push_back(line);
            int frame = 0;
            int percent = 0;
            if (!progress_of(line, frame, percent)) continue;
            if (view.percents.empty()) {
                view.alive_at_first_progress = waitpid(child, nullptr, WNOHANG) == 0;
                view.output_size_at_first_progress = file_size(output);
            }
            view.percents.push_back(percent);
            view.last_frame = frame;
        }
    }
    view.seconds_to_end = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(out_fd);
    close(err_fd);
    int wait_status = 0;
    waitpid(child, &wait_status, 0);
    view.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return view;
}

TEST(FrontEndView, ProgressArrivesLiveRisesAndEndsWithTheTagLine) {
    kt::ProgramFolder folder(kt::Engine::real);
    // A minute of music: 72 chunks, so the rate below is taken over many lines.
    const uint32_t seconds = 60;
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(seconds * 44100, 2, 44100)));
    const std::string output = folder.dir.file("out.mp3");

    FrontEndView view = watch(folder.program, {"-GUI", "in.wav", "out.mp3"}, output);
    ASSERT_EQ(view.status, 0) << view.err;
    EXPECT_EQ(view.err, "");

    // One progress line per chunk of the real engine (32 MP3 frames of 1152
    // pairs at 44.1 kHz stereo), the share never falling.
    const uint32_t chunk_frames = 32 * 1152;
    const std::size_t chunks = (seconds * 44100 + chunk_frames - 1) / chunk_frames;
    ASSERT_FALSE(view.percents.empty());
    EXPECT_EQ(view.percents.size(), chunks);
    for (std::size_t i = 1; i < view.percents.size(); ++i)
        ASSERT_LE(view.percents[i - 1], view.percents[i]) << "line " << i;
    EXPECT_EQ(view.percents.back(), 99);
    EXPECT_EQ(view.last_frame, 5000);

    // Often enough for a live display: at least 20 lines a second of the run,
    // start-up included. A promise of liveness, not a speed target: a quiet
    // machine gives about 100. Counted over the whole run rather than as the
    // longest gap between two lines, which one preemption of the program on a
    // busy machine could stretch without the display being any less live.
    ASSERT_GT(view.seconds_to_end, 0);
    EXPECT_GE(static_cast<double>(view.percents.size()) / view.seconds_to_end, 20.0)
        << view.percents.size() << " lines in " << view.seconds_to_end << " s";

    // The lines came while the encoding ran, not all at its end.
    EXPECT_TRUE(view.alive_at_first_progress);
    const long final_size = file_size(output);
    ASSERT_GT(final_size, 0);
    EXPECT_LT(view.output_size_at_first_progress, final_size / 2);

    ASSERT_FALSE(view.lines.empty());
    EXPECT_EQ(view.lines.back(), "Writing LAME Tag...done");
}

}  // namespace
