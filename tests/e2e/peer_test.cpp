// The real engine against LAME's own command-line encoder: the same switches
// give the same bytes, and the file decodes to exactly the input's length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using kt::Engine;
using kt::ProgramFolder;
using kt::RunResult;

TEST(Peer, SameBytesAsTheLameEncoder) {
    struct Case {
        std::vector<std::string> args;
        std::string lame_switches;
        const char* why;
    } cases[] = {
        {{"in.wav", "out.mp3"}, "-b 192 -m j", "the defaults: 192 kbps joint stereo"},
        // The VBR rules' bitrate pair spelt out for the peer.
        {{"-V2", "in.wav", "out.mp3"}, "-V 2 -b 32 -B 256 -m j", "VBR quality 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        ProgramFolder folder(Engine::real);
        // 3.3 seconds: not a whole number of frames, so the flush and the padding matter.
        const uint32_t frames = 145555;
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(frames, 2, 44100)));
        RunResult result = kt::run_program(folder.program, c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        ASSERT_EQ(kt::shell("cd " + folder.dir.path() + " && lame --quiet " + c.lame_switches +
                            " --noreplaygain in.wav peer.mp3"),
                  0);
        std::string ours = kt::read_file(folder.dir.file("out.mp3"));
        EXPECT_EQ(ours.size(), kt::read_file(folder.dir.file("peer.mp3")).size());
        EXPECT_TRUE(ours == kt::read_file(folder.dir.file("peer.mp3"))) << "the files differ";

        kt::DecodedAudio audio = kt::decode_mp3(folder.dir.file("out.mp3"));
        ASSERT_TRUE(audio.ok);
        EXPECT_EQ(audio.channels, 2);
        EXPECT_EQ(audio.samples.size() / 2, frames) << "gapless: exactly the input's length";
    }
}

TEST(Peer, HeaderOnlyWavCompletes) {
    ProgramFolder folder(Engine::real);
    kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, ""));
    RunResult result = kt::run_program(folder.program, {"-GUI", "in.wav", "out.mp3"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(kt::file_exists(folder.dir.file("out.mp3")));
}

}  // namespace
