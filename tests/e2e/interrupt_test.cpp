// Ctrl+C at a terminal: the program ends as the signal ends it, and leaves the
// terminal's settings as they were, whether it was encoding or waiting for Enter.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/pty_run.h"
#include "support/test_support.h"

namespace {

void expect_ended_by_interrupt(kt::PtyRun& run) {
    ASSERT_TRUE(kt::finish(run));
    EXPECT_TRUE(WIFSIGNALED(run.wait_status));
    if (WIFSIGNALED(run.wait_status)) {
        EXPECT_EQ(WTERMSIG(run.wait_status), SIGINT);
    }
    EXPECT_TRUE(kt::same_settings(kt::terminal_settings(run), run.initial));
}

TEST(Interrupt, DuringEncoding) {
    kt::ProgramFolder folder(kt::Engine::real);
    // Long enough that the encoding is still running when the key arrives.
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(44100 * 120, 2, 44100)));
    kt::PtyRun run;
    kt::start_on_pty(run, folder.program, {"in.wav", "out.mp3"});
    ASSERT_TRUE(kt::read_until(run, "File progress"));
    ASSERT_TRUE(kt::still_running(run));
    kt::send_keys(run, "\x03");
    expect_ended_by_interrupt(run);
}

TEST(Interrupt, DuringAWaitForEnter) {
    kt::ProgramFolder folder(kt::Engine::none);
    kt::PtyRun run;
    kt::start_on_pty(run, folder.program, {});
    ASSERT_TRUE(kt::read_until(run, " Press Enter to Continue..."));
    ASSERT_TRUE(kt::wait_for_key_mode(run));
    kt::send_keys(run, "\x03");
    expect_ended_by_interrupt(run);
}

}  // namespace
