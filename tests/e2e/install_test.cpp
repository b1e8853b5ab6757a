// kovex installed as a user installs it: `cmake --install` of this build into
// a scratch prefix, the installed program run from there on the engine in
// lib/kovex/, the manual page in its place, and nothing put outside the prefix.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of_file(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

TEST(Install, InstalledProgramEncodesWithItsEngineAndManualPage) {
    kt::ScratchDir prefix;
    const std::string install = std::string("'") + KOVEX_CMAKE_COMMAND + "' --install '" + KOVEX_BUILD_DIR +
                                "' --prefix '" + prefix.path() + "' >/dev/null";
    ASSERT_EQ(kt::shell(install), 0) << install;

    // Every file the install wrote lies under the prefix, so removing it uninstalls.
    std::vector<std::string> installed = lines_of_file(std::string(KOVEX_BUILD_DIR) + "/install_manifest.txt");
    ASSERT_FALSE(installed.empty());
    for (const std::string& path : installed) EXPECT_EQ(path.rfind(prefix.path() + "/", 0), 0u) << path;

    const std::string program = prefix.file("bin/kovex");
    ASSERT_TRUE(fs::is_regular_file(program));
    EXPECT_FALSE(kt::file_exists(prefix.file("bin/lame_enc.dll")));  // so the run below uses lib/kovex/
    EXPECT_TRUE(fs::is_regular_file(prefix.file("lib/kovex/lame_enc.dll")));
    EXPECT_EQ(kt::read_file(prefix.file("share/man/man1/kovex.1")),
              kt::read_file(std::string(KOVEX_BUILD_DIR) + "/man/kovex.1"));

    kt::ScratchDir work;
    const uint32_t frames = 44100;  // one second
    kt::write_file(work.file("in.wav"), kt::wav_file({}, kt::music_samples(frames, 2, 44100)));
    kt::RunOptions options;
    options.cwd = work.path();
    kt::RunResult result = kt::run_program(program, {"-GUI", "in.wav", "out.mp3"}, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("Writing LAME Tag...done\n"), std::string::npos);

    kt::DecodedAudio audio = kt::decode_mp3(work.file("out.mp3"));
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.samples.size(), 2u * frames);

    fs::remove_all(prefix.path());
    EXPECT_FALSE(fs::exists(prefix.path()));
}

}  // namespace
