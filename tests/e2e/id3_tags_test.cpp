// The tag switches write an ID3v2.3 tag in front of the frames, once the LAME
// tag is in place: mutagen, which music taggers use, reads every field back,
// non-ASCII text included; the frames after the tag are the untagged file's,
// byte for byte, so the LAME tag and the decoded length stay exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using kt::Engine;
using kt::ProgramFolder;
using kt::RunOptions;
using kt::RunResult;

// 1.5 seconds, not a whole number of MP3 frames, so the flush and the padding matter.
constexpr uint32_t kFrames = 66666;

// Every frame of the file's ID3v2 tag as mutagen reads it, one line each:
// "ID<TAB>text", and "<TAB>(not UTF-16)" after non-ASCII text stored otherwise.
const char kReadTags[] = R"py(import sys
from mutagen import id3
tag = id3.ID3(sys.argv[1], translate=False)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("ID3v2.%d\n" % tag.version[1])
    for key in sorted(tag.keys()):
        frame = tag[key]
        text = "/".join(str(t) for t in frame.text)
        unfit = not text.isascii() and int(frame.encoding) not in (1, 2)
        out.write("%s\t%s%s\n" % (key, text, "\t(not UTF-16)" if unfit else ""))
)py";

std::string tags_read_back(const ProgramFolder& folder, const std::string& mp3) {
    kt::write_file(folder.dir.file("read_tags.py"), kReadTags);
    const std::string listing = folder.dir.file("tags.txt");
    if (kt::shell("/usr/bin/python3 " + folder.dir.file("read_tags.py") + " " + mp3 + " " + listing) != 0)
        return "mutagen found no tag";
    return kt::read_file(listing);
}

// The bytes after an ID3v2 tag at the file's start: its size is syncsafe, after a 10-byte header.
std::string after_id3v2(const std::string& bytes) {
    if (bytes.compare(0, 3, "ID3") != 0 || bytes.size() < 10) return bytes;
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) size = size << 7 | (static_cast<unsigned char>(bytes[i]) & 0x7F);
    return bytes.substr(std::min(bytes.size(), 10 + size));
}

const std::vector<std::string> kTagSwitches = {
    "--tt", "Grüße, 東京", "--ta", "Pop band", "--tl", "Älbum – Live", "--ty", "2024",
    "--tn", "3/12",        "--tg", "Rock",     "--tc", "née ☃",
};
const char kTagsWritten[] =
    "ID3v2.3\n"
    "COMM::eng\tnée ☃\n"
    "TALB\tÄlbum – Live\n"
    "TCON\tRock\n"
    "TIT2\tGrüße, 東京\n"
    "TPE1\tPop band\n"
    "TRCK\t3/12\n"
    "TYER\t2024\n";

std::vector<std::string> with_tags(std::vector<std::string> args) {
    args.insert(args.begin(), kTagSwitches.begin(), kTagSwitches.end());
    return args;
}

struct Folder {
    ProgramFolder folder{Engine::real};
    std::string untagged;  // kovex -GUI in.wav untagged.mp3
    std::string bare;      // kovex -GUI in.wav - into a pipe, without a tag

    Folder() {
        kt::write_file(folder.dir.file("in.wav"), kt::wav_file({}, kt::music_samples(kFrames, 2, 44100)));
        EXPECT_EQ(kt::run_program(folder.program, {"-GUI", "in.wav", "untagged.mp3"}).status, 0);
        untagged = kt::read_file(folder.dir.file("untagged.mp3"));
        bare = kt::run_program(folder.program, {"-GUI", "in.wav", "-"}).out;
    }
};

TEST(Id3Tags, EveryFieldReadsBackAndTheFramesStayExact) {
    Folder f;
    ASSERT_EQ(kt::shell("cd " + f.folder.dir.path() + " && lame --quiet -b 192 -m j --noreplaygain in.wav peer.mp3"), 0);
    ASSERT_TRUE(f.untagged == kt::read_file(f.folder.dir.file("peer.mp3"))) << "the untagged file is not LAME's";

    const struct {
        const char* why;
        std::vector<std::string> args;
        bool to_stdout_file;
    } cases[] = {
        {"an output file by name", with_tags({"-GUI", "in.wav", "out.mp3"}), false},
        {"standard output redirected to the file", with_tags({"-GUI", "in.wav", "-"}), true},
        {"the tag switches after the names", {"-GUI", "in.wav", "out.mp3", "--tt", "Grüße, 東京", "--ta", "Pop band",
                                              "--tl", "Älbum – Live", "--ty", "2024", "--tn", "3/12", "--tg", "Rock",
                                              "--tc", "née ☃"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        RunOptions options;
        if (c.to_stdout_file) options.stdout_file = f.folder.dir.file("out.mp3");
        RunResult result = kt::run_program(f.folder.program, c.args, options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err.find("Ignoring"), std::string::npos) << result.err;
        const std::string mp3 = kt::read_file(f.folder.dir.file("out.mp3"));
        EXPECT_EQ(mp3.compare(0, 3, "ID3"), 0) << "no ID3v2 tag at the start";
        EXPECT_EQ(tags_read_back(f.folder, f.folder.dir.file("out.mp3")), kTagsWritten);
        const std::string frames = after_id3v2(mp3);
        EXPECT_EQ(frames.size(), f.untagged.size());
        EXPECT_TRUE(frames == f.untagged) << "the frames after the tag are not the untagged file's";
        kt::DecodedAudio audio = kt::decode_mp3(f.folder.dir.file("out.mp3"));
        ASSERT_TRUE(audio.ok);
        EXPECT_EQ(audio.samples.size(), 2u * kFrames) << "gapless: exactly the input's length";
    }
}

TEST(Id3Tags, OnAPipeTheTagComesFirst) {
    // No file to rewrite: the tag is written before the first frame, and the frames are the untagged stream's.
    Folder f;
    RunResult result = kt::run_program(f.folder.program, with_tags({"-GUI", "in.wav", "-"}));
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_EQ(result.out.compare(0, 3, "ID3"), 0) << "no ID3v2 tag at the start";
    EXPECT_TRUE(after_id3v2(result.out) == f.bare) << "the frames after the tag are not the untagged stream's";
    kt::write_file(f.folder.dir.file("piped.mp3"), result.out);
    EXPECT_EQ(tags_read_back(f.folder, f.folder.dir.file("piped.mp3")), kTagsWritten);
}

TEST(Id3Tags, TagTextNeverCountsForSwitchesOrNames) {
    // Each text is a switch's spelling or a name; none may change the run.
    Folder f;
    RunResult result = kt::run_program(
        f.folder.program, {"--tt", "-mm", "--ta", "-b128", "--tl", "-GUI", "--tc", "-", "--tg", "in.wav", "in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.find("LAME Emulation MODE"), std::string::npos) << "-GUI took effect";
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(after_id3v2(kt::read_file(f.folder.dir.file("out.mp3"))) == f.untagged)
        << "not the MP3 of the default switches";
    EXPECT_EQ(tags_read_back(f.folder, f.folder.dir.file("out.mp3")),
              "ID3v2.3\nCOMM::eng\t-\nTALB\t-GUI\nTCON\tin.wav\nTIT2\t-mm\nTPE1\t-b128\n");
}

TEST(Id3Tags, TextThatIsNotUtf8IsTakenAsLatin1) {
    // A terminal in a Latin-1 locale hands over "été" as three bytes; it must not be lost.
    Folder f;
    RunResult result = kt::run_program(f.folder.program, {"-GUI", "--tt", "\xE9t\xE9", "in.wav", "out.mp3"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(tags_read_back(f.folder, f.folder.dir.file("out.mp3")), "ID3v2.3\nTIT2\tété\n");
}

TEST(Id3Tags, NoTagSwitchNoTag) {
    // Without a tag's text, the file is the untagged one, byte for byte.
    Folder f;
    const struct {
        const char* why;
        std::vector<std::string> args;
    } cases[] = {
        {"a tag switch with no text after it", {"-GUI", "in.wav", "out.mp3", "--tt"}},
        {"an unknown switch, which is no tag switch", {"-GUI", "--quiet", "in.wav", "out.mp3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        RunResult result = kt::run_program(f.folder.program, c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_TRUE(kt::read_file(f.folder.dir.file("out.mp3")) == f.untagged) << "the file differs";
    }
}

}  // namespace
