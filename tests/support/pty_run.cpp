#include "support/pty_run.h"

#include "support/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utmp.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace kt {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadline_after(double seconds) {
    return Clock::now() + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

// Reads what is there within `wait_ms`; false once the terminal has no writer left.
bool read_some(PtyRun& run, int wait_ms) {
    pollfd fd = {run.master, POLLIN, 0};
    if (poll(&fd, 1, wait_ms) <= 0) return true;
    char buffer[4096];
    ssize_t got = read(run.master, buffer, sizeof buffer);
    if (got > 0) {
        run.transcript.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    return got < 0 && (errno == EINTR || errno == EAGAIN);  // EIO: every writer has gone
}

}  // namespace

PtyRun::~PtyRun() {
    if (pid > 0 && !ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &wait_status, 0);
    }
    if (master >= 0) close(master);
}

void start_on_pty(PtyRun& run, const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env, const std::string& cwd,
                  const std::string& stdin_path) {
    int slave = -1;
    if (openpty(&run.master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    tcgetattr(slave, &run.initial);

    std::vector<std::pair<std::string, std::string>> terminal_env{{"TERM", "xterm"}};
    terminal_env.insert(terminal_env.end(), env.begin(), env.end());
    Launch launch = prepare_launch(program, args, terminal_env, cwd);

    run.pid = fork();
    if (run.pid < 0) throw std::runtime_error("fork failed");
    if (run.pid == 0) {
        close(run.master);
        // A new session whose controlling terminal is the slave, on all three streams.
        if (login_tty(slave) != 0) _exit(125);
        if (!stdin_path.empty()) {
            int input = open(stdin_path.c_str(), O_RDONLY);
            if (input < 0 || dup2(input, 0) < 0) _exit(124);
            close(input);
        }
        exec_launch(launch);
    }
    close(slave);
}

bool read_until(PtyRun& run, const std::string& text, std::size_t from, double timeout_seconds) {
    auto deadline = deadline_after(timeout_seconds);
    while (run.transcript.find(text, from) == std::string::npos) {
        if (Clock::now() > deadline || !read_some(run, 50)) return run.transcript.find(text, from) != std::string::npos;
    }
    return true;
}

void read_for(PtyRun& run, double seconds) {
    auto deadline = deadline_after(seconds);
    while (Clock::now() < deadline) {
        if (!read_some(run, 20)) return;
    }
}

bool wait_for_key_mode(PtyRun& run, double timeout_seconds) {
    auto deadline = deadline_after(timeout_seconds);
    while (Clock::now() < deadline) {
        termios now = terminal_settings(run);
        if ((now.c_lflag & ICANON) == 0) return true;
        read_some(run, 10);
    }
    return false;
}

bool reach_wait(PtyRun& run, const std::string& prompt, std::size_t& from) {
    if (!read_until(run, prompt, from)) return false;
    from = run.transcript.find(prompt, from) + prompt.size();
    return wait_for_key_mode(run);
}

void send_keys(PtyRun& run, const std::string& keys) {
    std::size_t done = 0;
    while (done < keys.size()) {
        ssize_t put = write(run.master, keys.data() + done, keys.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) throw std::runtime_error("writing to the terminal failed");
        done += static_cast<std::size_t>(put);
    }
}

termios terminal_settings(const PtyRun& run) {
    termios settings{};
    // On Linux both ends of a pseudo-terminal share one set of settings.
    tcgetattr(run.master, &settings);
    return settings;
}

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

bool still_running(PtyRun& run) {
    if (run.ended) return false;
    pid_t done = waitpid(run.pid, &run.wait_status, WNOHANG);
    if (done == run.pid) run.ended = true;
    return !run.ended;
}

bool finish(PtyRun& run, double timeout_seconds) {
    auto deadline = deadline_after(timeout_seconds);
    // The terminal reports its end only once the program's output is all read.
    while (read_some(run, 20)) {
        if (Clock::now() > deadline) return false;
    }
    while (still_running(run)) {
        if (Clock::now() > deadline) return false;
        usleep(10000);
    }
    return true;
}

std::string without_terminal_line_ends(const std::string& transcript) {
    std::string out;
    out.reserve(transcript.size());
    for (std::size_t i = 0; i < transcript.size(); ++i) {
        if (transcript[i] == '\r' && i + 1 < transcript.size() && transcript[i + 1] == '\n') continue;
        out += transcript[i];
    }
    return out;
}

}  // namespace kt
