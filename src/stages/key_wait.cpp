// The wait for Enter. Keys come from the controlling terminal, not from
// standard input (which may be a file or a pipe): the terminal is switched to
// reading single keys without echo, and its settings are put back as they
// were when the wait ends, also when a signal ends the program meanwhile.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "stages/key_wait.h"

namespace {

// What the signal handler needs to put the terminal back.
volatile sig_atomic_t g_wait_active = 0;
int g_terminal = -1;
termios g_saved_settings;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

void restore_and_end(int signal_number) {
    if (g_wait_active) tcsetattr(g_terminal, TCSANOW, &g_saved_settings);
    // End as the signal would have ended the program without us.
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal_number);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal_number);
    _exit(128 + signal_number);
}

// Installs the handler for each ending signal that is not ignored (a program
// started with SIGHUP ignored, as by nohup, keeps ignoring it).
void catch_ending_signals(struct sigaction (&previous)[kEndingSignalCount], bool (&installed)[kEndingSignalCount]) {
    struct sigaction action = {};
    action.sa_handler = restore_and_end;
    sigemptyset(&action.sa_mask);
    for (int signal_number : kEndingSignals) sigaddset(&action.sa_mask, signal_number);
    for (int i = 0; i < kEndingSignalCount; ++i) {
        installed[i] = false;
        if (sigaction(kEndingSignals[i], nullptr, &previous[i]) != 0) continue;
        if (previous[i].sa_handler == SIG_IGN) continue;
        installed[i] = sigaction(kEndingSignals[i], &action, nullptr) == 0;
    }
}

void release_ending_signals(const struct sigaction (&previous)[kEndingSignalCount],
                            const bool (&installed)[kEndingSignalCount]) {
    for (int i = 0; i < kEndingSignalCount; ++i) {
        if (installed[i]) sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
}

}  // namespace

void wait_for_enter() {
    // The prompt has no line end; it must be on the screen before the wait.
    std::fflush(stdout);

    int terminal = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return;
    termios saved;
    if (tcgetattr(terminal, &saved) != 0) {
        close(terminal);
        return;
    }

    g_terminal = terminal;
    g_saved_settings = saved;
    struct sigaction previous[kEndingSignalCount];
    bool installed[kEndingSignalCount];
    catch_ending_signals(previous, installed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_wait_active = 1;

    termios keys = saved;
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    // Without this translation Enter arrives as the carriage return itself.
    keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IGNCR | INLCR);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    if (tcsetattr(terminal, TCSANOW, &keys) == 0) {
        for (;;) {
            char key = 0;
            ssize_t got = read(terminal, &key, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;  // end of input or an error: as if Enter
            // Only Enter's carriage return; a line feed (Ctrl+J, or an Enter
            // typed ahead while the terminal still translated it) is a key like any other.
            if (key == '\r') break;
        }
    }

    tcsetattr(terminal, TCSANOW, &saved);
    g_wait_active = 0;
    release_ending_signals(previous, installed);
    g_terminal = -1;
    close(terminal);
}
