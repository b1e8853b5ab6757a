// Running the program on a pseudo-terminal of its own, as a person at a
// terminal would: the terminal is its controlling terminal and its standard
// input, output and error.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <string>
#include <utility>
#include <vector>

namespace kt {

struct PtyRun {
    pid_t pid = -1;
    int master = -1;
    termios initial{};       // the terminal's settings before the program started
    std::string transcript;  // everything the program wrote, as the terminal delivered it
    bool ended = false;
    int wait_status = 0;

    PtyRun() = default;
    PtyRun(const PtyRun&) = delete;
    PtyRun& operator=(const PtyRun&) = delete;
    ~PtyRun();  // kills a program still running
};

// Starts `program` as every test does (prepare_launch), with TERM=xterm, on a
// new pseudo-terminal with its default settings.
// With `stdin_path`, standard input is that file instead of the terminal.
void start_on_pty(PtyRun& run, const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::pair<std::string, std::string>>& env = {}, const std::string& cwd = "",
                  const std::string& stdin_path = "");

// Reads output until `text` occurs in the transcript at or after `from`; false on timeout or end.
bool read_until(PtyRun& run, const std::string& text, std::size_t from = 0, double timeout_seconds = 30);

// Reads whatever arrives within `seconds`.
void read_for(PtyRun& run, double seconds);

// Waits until the program reads keys one by one, as during a wait for Enter
// (whether they echo is for the test to see).
bool wait_for_key_mode(PtyRun& run, double timeout_seconds = 30);

// Reads until `prompt` occurs at or after `from`, moves `from` past it, and waits
// for the wait that follows it. Prompts repeat, so `from` must track what was seen.
bool reach_wait(PtyRun& run, const std::string& prompt, std::size_t& from);

void send_keys(PtyRun& run, const std::string& keys);

// The terminal's current settings.
termios terminal_settings(const PtyRun& run);
bool same_settings(const termios& a, const termios& b);

// Whether the program is still running (collects its status once it has ended).
bool still_running(PtyRun& run);

// Reads the rest of the output and waits for the program to end; false on timeout.
bool finish(PtyRun& run, double timeout_seconds = 30);

// The transcript with the terminal's "\r\n" for each line feed turned back into "\n".
std::string without_terminal_line_ends(const std::string& transcript);

}  // namespace kt
