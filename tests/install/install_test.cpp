// kovex installed as a user installs it: `cmake --install` of this build into
// a scratch prefix, and the Debian package of this build unpacked into a
// scratch root; the installed program run from there on the engine in
// lib/kovex/, the manual page in its place, and nothing put outside.
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

// The installed program encodes a second of sound from another folder, finding
// its engine and its ID3 tagger by itself.
void check_installed_program_encodes(const std::string& program) {
    kt::ScratchDir work;
    const uint32_t frames = 44100;  // one second
    kt::write_file(work.file("in.wav"), kt::wav_file({}, kt::music_samples(frames, 2, 44100)));
    kt::RunOptions options;
    options.cwd = work.path();
    kt::RunResult result = kt::run_program(program, {"-GUI", "--tt", "Installed", "in.wav", "out.mp3"}, options);
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("Writing LAME Tag...done\n"), std::string::npos);
    EXPECT_EQ(kt::read_file(work.file("out.mp3")).substr(0, 3), "ID3");

    kt::DecodedAudio audio = kt::decode_mp3(work.file("out.mp3"));
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.samples.size(), 2u * frames);
}

std::string output_of(const std::string& command) {
    kt::ScratchDir scratch;
    if (kt::shell(command + " > " + scratch.file("out.txt")) != 0) return "";
    return kt::read_file(scratch.file("out.txt"));
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
    EXPECT_TRUE(fs::is_regular_file(prefix.file("lib/kovex/kovex_id3.so")));
    EXPECT_EQ(kt::read_file(prefix.file("share/man/man1/kovex.1")),
              kt::read_file(std::string(KOVEX_BUILD_DIR) + "/man/kovex.1"));
    check_installed_program_encodes(program);

    fs::remove_all(prefix.path());
    EXPECT_FALSE(fs::exists(prefix.path()));
}

TEST(Install, DebianPackageInstallsUnderUsrAndNeedsLibmp3lame) {
    kt::ScratchDir packages;
    const std::string build = std::string("cd '") + KOVEX_BUILD_DIR + "' && '" + KOVEX_CPACK_COMMAND +
                              "' -G DEB -B '" + packages.path() + "' >/dev/null";
    ASSERT_EQ(kt::shell(build), 0) << build;
    std::string package;
    for (const auto& entry : fs::directory_iterator(packages.path()))
        if (entry.path().extension() == ".deb") package = entry.path().string();
    ASSERT_FALSE(package.empty());
    EXPECT_EQ(fs::path(package).filename().string().rfind(std::string("kovex_") + KOVEX_PACKAGE_VERSION + "_", 0), 0u);

    // The engine is loaded at run time; the package must still bring its library.
    EXPECT_NE(output_of("dpkg-deb -f '" + package + "' Depends").find("libmp3lame0"), std::string::npos);

    // Unpacked into a scratch root: nothing of the machine changes.
    kt::ScratchDir root;
    ASSERT_EQ(kt::shell("dpkg-deb -x '" + package + "' '" + root.path() + "'"), 0);
    EXPECT_TRUE(fs::is_regular_file(root.file("usr/bin/kovex")));
    EXPECT_TRUE(fs::is_regular_file(root.file("usr/lib/kovex/lame_enc.dll")));
    EXPECT_TRUE(fs::is_regular_file(root.file("usr/lib/kovex/kovex_id3.so")));
    EXPECT_FALSE(kt::file_exists(root.file("usr/bin/lame_enc.dll")));  // so the run below uses ../lib/kovex/
    EXPECT_TRUE(fs::is_regular_file(root.file("usr/share/man/man1/kovex.1")));
    check_installed_program_encodes(root.file("usr/bin/kovex"));
}

}  // namespace
