// bench_run [--no-pipe] PROGRAM [ARGS...]
//
// Runs one command as the benchmark times it and prints one line:
//   WALL_SECONDS USER_SECONDS SYSTEM_SECONDS PEAK_RSS_KIB EXIT_STATUS
// The command runs in a session of its own (no controlling terminal, so no
// wait for Enter can block), with standard input from /dev/null and its
// standard output and error going to a pipe that this program reads to the
// end, as a front end reads the screen output; with --no-pipe they go to
// /dev/null instead, which shows what the reader's wake-ups cost. The wall
// time runs from just before the start to the moment the command has ended
// and been reaped.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

}  // namespace

int main(int argc, char** argv) {
    const bool no_pipe = argc > 1 && std::strcmp(argv[1], "--no-pipe") == 0;
    char** command = argv + (no_pipe ? 2 : 1);
    if (command[0] == nullptr) {
        std::fprintf(stderr, "usage: %s [--no-pipe] PROGRAM [ARGS...]\n", argv[0]);
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
    for (;;) {
        ssize_t got = read(screen[0], sink, sizeof sink);
        if (got > 0) continue;
        if (got < 0 && errno == EINTR) continue;
        break;
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
    std::printf("%.4f %.4f %.4f %ld %d\n", wall, seconds_of(usage.ru_utime), seconds_of(usage.ru_stime),
                usage.ru_maxrss, exit_status);
    return 0;
}
