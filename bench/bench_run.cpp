// bench_run [--no-pipe] [--memory] PROGRAM [ARGS...]
//
// Runs one command as the benchmark times it and prints one line:
//   WALL USER SYSTEM PEAK_RSS_KIB LINES FIRST_LINE LONGEST_GAP PEAK_ANON_KIB EXIT_STATUS
// (times in seconds). The command runs in a session of its own (no controlling
// terminal, so no wait for Enter can block), with standard input from
// /dev/null and its standard output and error going to a pipe that this
// program reads to the end, as a front end reads the screen output; with
// --no-pipe they go to /dev/null instead, which shows what the reader's
// wake-ups cost. The wall time runs from just before the start to the moment
// the command has ended and been reaped.
//
// Every progress line, in each of kovex's styles and in lame's, ends with a
// carriage return: LINES counts them, FIRST_LINE is the time from the start to
// the first, LONGEST_GAP the longest time between two of them (both -1 when
// there are none). That is what a front end's display sees of the run.
//
// PEAK_RSS_KIB counts the shared libraries' pages too, and how many of those
// a process maps varies by a few hundred KiB from run to run. With --memory
// the command's anonymous resident memory (heap, stack, buffers: what it
// allocates itself) is read every millisecond and its peak printed as
// PEAK_ANON_KIB, which varies by a page or two; without, it is -1. The polling
// disturbs the timing a little, so timed runs go without it.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

double now_seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double seconds_of(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) * 1e-6;
}

// The "RssAnon:" of /proc/PID/status in KiB, or -1 once the process is gone.
long anonymous_kib(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    std::FILE* status = std::fopen(path, "r");
    if (status == nullptr) return -1;
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "RssAnon: %ld", &kib) == 1) break;
    std::fclose(status);
    return kib;
}

}  // namespace

int main(int argc, char** argv) {
    bool no_pipe = false;
    bool memory = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] == '-'; ++first) {
        if (std::strcmp(argv[first], "--no-pipe") == 0) no_pipe = true;
        else if (std::strcmp(argv[first], "--memory") == 0) memory = true;
        else break;
    }
    char** command = argv + first;
    if (command[0] == nullptr) {
        std::fprintf(stderr, "usage: %s [--no-pipe] [--memory] PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    int screen[2];
    if (pipe(screen) != 0) {
        std::perror("bench_run: pipe");
        return 1;
    }
    const double start = now_seconds();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("bench_run: fork");
        return 1;
    }
    if (child == 0) {
        setsid();
        int null_input = open("/dev/null", O_RDONLY);
        if (null_input >= 0) dup2(null_input, 0);
        int screen_end = no_pipe ? open("/dev/null", O_WRONLY) : screen[1];
        dup2(screen_end, 1);
        dup2(screen_end, 2);
        close(screen[0]);
        close(screen[1]);
        execv(command[0], command);
        _exit(127);
    }
    close(screen[1]);
    static char sink[1 << 16];
    long lines = 0;
    double first_line = -1;
    double last_line = 0;
    double longest_gap = -1;
    long peak_anonymous = -1;
    for (;;) {
        if (memory) {
            peak_anonymous = std::max(peak_anonymous, anonymous_kib(child));
            pollfd ready = {screen[0], POLLIN, 0};
            if (poll(&ready, 1, 1) == 0) continue;
        }
        ssize_t got = read(screen[0], sink, sizeof sink);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        // Lines that arrive in one read arrived together: one time for all of them.
        const long returns = static_cast<long>(std::count(sink, sink + got, '\r'));
        if (returns == 0) continue;
        const double at = now_seconds() - start;
        if (lines == 0) {
            first_line = at;
        } else if (at - last_line > longest_gap) {
            longest_gap = at - last_line;
        }
        last_line = at;
        lines += returns;
    }
    close(screen[0]);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("bench_run: wait4");
            return 1;
        }
    }
    const double wall = now_seconds() - start;
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.4f %.4f %.4f %ld %ld %.4f %.4f %ld %d\n", wall, seconds_of(usage.ru_utime),
                seconds_of(usage.ru_stime), usage.ru_maxrss, lines, first_line, longest_gap, peak_anonymous,
                exit_status);
    return 0;
}
