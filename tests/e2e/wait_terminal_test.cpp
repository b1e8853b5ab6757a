// The waits for Enter, with the program on a pseudo-terminal as at a person's
// terminal: keys other than Enter are neither echoed nor end a wait, the
// terminal's settings are put back, also when a signal ends the program, and
// the boxes arrive in UTF-8 only when the locale says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/pty_run.h"
#include "support/screen_text.h"
#include "support/test_support.h"

namespace {

using Env = std::vector<std::pair<std::string, std::string>>;

// Long enough for a key wrongly taken as Enter to show its effect.
constexpr double kQuietSeconds = 0.3;

std::string screen_text(const kt::PtyRun& run, bool utf8) {
    std::string text = kt::without_terminal_line_ends(run.transcript);
    if (!utf8) return text;
    std::string cp437;
    EXPECT_TRUE(kt::utf8_boxes_to_cp437(text, cp437)) << "a byte that is no UTF-8 box character";
    return cp437;
}

TEST(WaitForEnter, OnlyEnterEndsEachHelpWaitAndNothingIsEchoed) {
    kt::ProgramFolder folder(kt::Engine::none);
    kt::PtyRun run;
    kt::start_on_pty(run, folder.program, {}, {{"LC_ALL", "C"}});
    kt::Screen shown;
    std::size_t seen = 0;
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        ASSERT_TRUE(kt::reach_wait(run, kt::help_prompt(page), seen));
        kt::append(shown, kt::help_page(page));
        kt::append(shown, kt::help_prompt(page));
        EXPECT_TRUE(kt::screen_matches(screen_text(run, false), shown));

        // Letters, a blank, a tab, a line feed and an escape: none is Enter.
        std::size_t before = run.transcript.size();
        kt::send_keys(run, "ab \t\n\x1b" "q");
        kt::read_for(run, kQuietSeconds);
        EXPECT_EQ(run.transcript.size(), before) << "echoed, or the wait ended";
        EXPECT_TRUE(kt::still_running(run));
        kt::send_keys(run, "\r");
    }
    ASSERT_TRUE(kt::finish(run));
    ASSERT_TRUE(WIFEXITED(run.wait_status));
    EXPECT_EQ(WEXITSTATUS(run.wait_status), 0);
    EXPECT_TRUE(kt::screen_matches(screen_text(run, false), kt::help_pages())) << "nothing after the last wait";
    EXPECT_TRUE(kt::same_settings(kt::terminal_settings(run), run.initial));
}

TEST(WaitForEnter, ReadsTheTerminalNotStandardInput) {
    kt::ScratchDir dir;
    kt::write_file(dir.file("keys"), "\r\n\r\n\r\n");
    kt::ProgramFolder folder(kt::Engine::none);
    kt::PtyRun run;
    kt::start_on_pty(run, folder.program, {}, {}, "", dir.file("keys"));
    std::size_t seen = 0;
    for (int page = 1; page <= 3; ++page) {
        ASSERT_TRUE(kt::reach_wait(run, kt::help_prompt(page), seen));
        if (page == 1) {
            kt::read_for(run, kQuietSeconds);
            EXPECT_TRUE(kt::still_running(run)) << "the Enters in standard input ended the waits";
            EXPECT_EQ(run.transcript.find(kt::help_prompt(2), seen), std::string::npos);
        }
        kt::send_keys(run, "\r");
    }
    ASSERT_TRUE(kt::finish(run));
    EXPECT_TRUE(WIFEXITED(run.wait_status) && WEXITSTATUS(run.wait_status) == 0);
}

TEST(WaitForEnter, SignalDuringTheWaitRestoresTheTerminalAndEndsAsTheSignalWould) {
    struct Case {
        int signal;
        bool typed;  // Ctrl-C typed on the terminal rather than sent
        const char* why;
    } cases[] = {
        {SIGINT, true, "Ctrl-C at the prompt"},
        {SIGINT, false, "SIGINT"},
        {SIGTERM, false, "SIGTERM"},
        {SIGHUP, false, "SIGHUP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::ProgramFolder folder(kt::Engine::none);
        kt::PtyRun run;
        kt::start_on_pty(run, folder.program, {});
        std::size_t seen = 0;
        ASSERT_TRUE(kt::reach_wait(run, kt::help_prompt(1), seen));
        if (c.typed) {
            kt::send_keys(run, "\x03");
        } else {
            kill(run.pid, c.signal);
        }
        ASSERT_TRUE(kt::finish(run));
        ASSERT_TRUE(WIFSIGNALED(run.wait_status));
        EXPECT_EQ(WTERMSIG(run.wait_status), c.signal);
        EXPECT_TRUE(kt::same_settings(kt::terminal_settings(run), run.initial));
    }
}

TEST(WaitForEnter, BoxesInUtf8OnlyWithAUtf8Locale) {
    struct Case {
        Env env;
        bool utf8;
        const char* why;
    } cases[] = {
        {{{"LANG", "C.UTF-8"}}, true, "LANG"},
        {{{"LC_ALL", "C.UTF-8"}}, true, "LC_ALL"},
        {{{"LC_CTYPE", "C.UTF-8"}}, true, "LC_CTYPE"},
        {{}, false, "no locale: the C locale"},
        {{{"LANG", "C.UTF-8"}, {"LC_ALL", "C"}}, false, "LC_ALL wins over LANG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::ProgramFolder folder(kt::Engine::none);
        kt::PtyRun run;
        kt::start_on_pty(run, folder.program, {}, c.env);
        std::size_t seen = 0;
        for (int page = 1; page <= 3; ++page) {
            ASSERT_TRUE(kt::reach_wait(run, kt::help_prompt(page), seen));
            kt::send_keys(run, "\r");
        }
        ASSERT_TRUE(kt::finish(run));
        std::string text = kt::without_terminal_line_ends(run.transcript);
        bool has_utf8_box = text.find("\u2551") != std::string::npos;
        EXPECT_EQ(has_utf8_box, c.utf8);
        EXPECT_TRUE(kt::screen_matches(screen_text(run, c.utf8), kt::help_pages()));
    }
}

// A completed run waits once at its end; a refused input waits after its
// message; under "-GUI" neither waits. Every box and the bar follow the locale.
TEST(WaitForEnter, RunsWaitAtTheirEndUnlessGui) {
    struct Case {
        std::vector<std::string> args;
        std::string wav;
        Env env;
        const char* prompt;  // nullptr: no wait
        int status;
        const char* why;
    };
    const std::string song = kt::wav_file({}, kt::music_samples(20000, 2, 44100));
    kt::WavFormat float_format;
    float_format.format_tag = 3;
    const Case cases[] = {
        {{"in.wav", "out.mp3"}, song, {{"LANG", "C.UTF-8"}}, "  Encoding Process is complete... Press Enter to EXIT...", 0,
         "completed, UTF-8"},
        {{"in.wav", "out.mp3"}, song, {{"LC_ALL", "C"}}, "  Encoding Process is complete... Press Enter to EXIT...", 0,
         "completed, C locale"},
        {{"in.wav", "out.mp3"}, kt::wav_file(float_format, std::string(400, '\0')), {}, "  Press Enter to Exit...", 255,
         "input not PCM"},
        {{"-GUI", "in.wav", "out.mp3"}, song, {{"LANG", "C.UTF-8"}}, nullptr, 0, "-GUI: no wait"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        kt::ProgramFolder folder(kt::Engine::real);
        kt::write_file(folder.dir.file("in.wav"), c.wav);
        kt::PtyRun run;
        kt::start_on_pty(run, folder.program, c.args, c.env);
        if (c.prompt != nullptr) {
            std::size_t seen = 0;
            ASSERT_TRUE(kt::reach_wait(run, c.prompt, seen));
            kt::read_for(run, kQuietSeconds);
            EXPECT_TRUE(kt::still_running(run));
            kt::send_keys(run, "\r");
        }
        ASSERT_TRUE(kt::finish(run));
        ASSERT_TRUE(WIFEXITED(run.wait_status));
        EXPECT_EQ(WEXITSTATUS(run.wait_status), c.status);
        EXPECT_TRUE(kt::same_settings(kt::terminal_settings(run), run.initial));

        bool utf8 = !c.env.empty() && c.env[0].second == "C.UTF-8";
        std::string text = screen_text(run, utf8);
        if (c.status == 0 && c.prompt != nullptr) {
            // The summary's top border and the bar's ends, as code page 437 once translated back.
            EXPECT_NE(text.find(kt::summary_box({}).substr(0, 20)), std::string::npos);
            EXPECT_NE(text.find("  File progress: \xB3\xB2"), std::string::npos);
            EXPECT_EQ(text.find("\u2551") != std::string::npos, false) << "translated under the C locale";
        }
    }
}

}  // namespace
