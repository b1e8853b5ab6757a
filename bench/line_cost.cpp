// line_cost WORK_US LINES
//
// What one progress line costs the program that writes it: a writer works
// WORK_US microseconds (as the encoder does between two lines), then writes a
// 100-byte line into a pipe that another process reads, LINES times; then the
// same without the lines. Prints the difference per line in microseconds of
// the writer's CPU time: the write, and the wake-up of the reader, which has
// gone to sleep in the meantime.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double seconds_of(clockid_t clock) {
    timespec ts;
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void work_for(double microseconds) {
    const double end = seconds_of(CLOCK_MONOTONIC) + microseconds * 1e-6;
    while (seconds_of(CLOCK_MONOTONIC) < end) {
    }
}

// The writer's CPU seconds for `lines` rounds of work, each followed by a line if asked.
double writer_seconds(double work_us, int lines, bool write_lines) {
    int screen[2];
    if (pipe(screen) != 0) std::exit(1);
    const pid_t reader = fork();
    if (reader < 0) std::exit(1);
    if (reader == 0) {
        close(screen[1]);
        static char sink[1 << 16];
        while (read(screen[0], sink, sizeof sink) > 0) {
        }
        _exit(0);
    }
    close(screen[0]);
    char line[100];
    std::memset(line, ' ', sizeof line);
    line[sizeof line - 1] = '\r';
    const double start = seconds_of(CLOCK_PROCESS_CPUTIME_ID);
    for (int i = 0; i < lines; ++i) {
        work_for(work_us);
        if (write_lines && write(screen[1], line, sizeof line) != static_cast<ssize_t>(sizeof line)) std::exit(1);
    }
    const double spent = seconds_of(CLOCK_PROCESS_CPUTIME_ID) - start;
    close(screen[1]);
    waitpid(reader, nullptr, 0);
    return spent;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atof(argv[1]) <= 0 || std::atoi(argv[2]) <= 0) {
        std::fprintf(stderr, "usage: %s WORK_US LINES\n", argv[0]);
        return 2;
    }
    const double work_us = std::atof(argv[1]);
    const int lines = std::atoi(argv[2]);
    const double without = writer_seconds(work_us, lines, false);
    const double with = writer_seconds(work_us, lines, true);
    std::printf("%.2f\n", (with - without) / lines * 1e6);
    return 0;
}
