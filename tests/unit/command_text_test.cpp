#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "decisions/command_line.h"
#include "decisions/output_naming.h"
#include "stages/console_output.h"

namespace {

CommandText command_text_of(const std::vector<std::string>& args) {
    std::vector<const char*> pointers;
    for (const auto& arg : args) pointers.push_back(arg.c_str());
    CommandText text;
    std::memset(&text, 'x', sizeof text);  // what lies past the end must be cleared
    build_command_text(static_cast<int>(pointers.size()), pointers.data(), text);
    return text;
}

TEST(CommandText, JoinsTheSwitchArgumentsOnlyWithoutSeparators) {
    CommandText text = command_text_of({"in.wav", "-b", "128", "out.mp3", "-V2"});
    EXPECT_STREQ(text.text, "-b128-V2");
    EXPECT_TRUE(text.complete);
    EXPECT_EQ(text.text[sizeof text.text - 1], '\0');
}

TEST(CommandText, SwitchesThatDoNotFitAreNotDroppedInSilence) {
    struct Case {
        std::size_t characters;
        bool complete;
        const char* why;
    } cases[] = {
        {299, true, "the text's capacity"},
        {300, false, "one character more: the run must be refused, not run without it"},
    };
    for (const Case& c : cases) {
        // Arguments of "-b128" (5 characters each) and a last one to reach the length.
        std::vector<std::string> args(c.characters / 5, "-b128");
        args.push_back(std::string("-b128").substr(0, c.characters % 5));
        args.push_back("in.wav");
        CommandText text = command_text_of(args);
        EXPECT_EQ(text.complete, c.complete) << c.why;
        EXPECT_LE(std::strlen(text.text), kCommandTextCapacity) << c.why;
    }
}

TEST(CommandText, SwitchPresenceIsASubstringTestOfTheSwitchArguments) {
    struct Case {
        std::vector<std::string> args;
        const char* spelling;
        bool present;
        const char* why;
    } cases[] = {
        {{"-b320", "in.wav"}, "-b32", true, "a shorter spelling inside a longer one"},
        {{"-b", "128", "in.wav"}, "-b128", true, "a switch and its value as two arguments"},
        {{"in.wav", "out.mp3", "-V2"}, "-V2", true, "a switch after the file names"},
        {{"in.wav", "-private"}, "-p", false, "lower-case -private is a file name, not a switch"},
        {{"-PRIVATE", "in.wav"}, "-p", false, "case matters"},
        {{"live-rec.wav"}, "-r", false, "a spelling inside a file name takes no part"},
        {{"in-", "rec.wav"}, "-r", false, "nor one across the join of two names"},
        {{"in.wav", "-gui"}, "-GUI", false, "-gui is not -GUI"},
        {{"--tt", "-b128", "in.wav"}, "-b128", false, "a tag's text never counts, whatever it spells"},
        {{"-", "-"}, "-", false, "a lone - is a file name"},
        {{"in.wav"}, "", true, "the empty text occurs everywhere"},
    };
    for (const Case& c : cases) {
        CommandText text = command_text_of(c.args);
        EXPECT_EQ(switch_present(text, c.spelling), c.present) << c.why;
    }
}

TEST(CommandText, RawInputIsAnROfItsOwn) {
    struct Case {
        std::vector<std::string> args;
        bool raw;
        const char* why;
    } cases[] = {
        {{"-r", "in.raw"}, true, "the switch itself"},
        {{"--resample22050", "in.wav"}, false, "every resample spelling holds -r"},
        {{"--resample", "22.05", "in.wav"}, false, "the short spelling given as two arguments"},
        {{"--resample48", "-r", "in.raw"}, true, "-r beside a resample switch"},
        {{"-r", "--resample16", "in.raw"}, true, "-r before a resample switch"},
        {{"party-remix48.wav"}, false, "a name is no switch"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(raw_input_requested(command_text_of(c.args)), c.raw) << c.why;
    }
}

TEST(SwitchList, HoldsTheSeventyEightSpellingsIn519Characters) {
    EXPECT_EQ(std::strlen(kSwitchList), 519u);
    for (std::size_t i = 519; i < sizeof kSwitchList; ++i) ASSERT_EQ(kSwitchList[i], '\0');
    EXPECT_TRUE(std::string(kSwitchList).rfind("-h--ABR--abr--strictly-enforce-ISO") == 519 - 34);
}

TEST(ClassifyArguments, PicksInputAndOutputNames) {
    struct Case {
        std::vector<std::string> args;
        NamingOutcome outcome;
        int input;
        int output;
        const char* why;
    } cases[] = {
        {{"in.wav"}, NamingOutcome::named, 0, 0, "output named after the input"},
        {{"in.wav", "out.mp3"}, NamingOutcome::named, 0, 1, "both names given"},
        {{"in.wav", "out.mp3", "-b", "128"}, NamingOutcome::named, 0, 1, "switches after the names"},
        {{"in.wav", "-b", "128", "out.mp3"}, NamingOutcome::named, 0, 0, "a switch as A2: out.mp3 names nothing"},
        {{"-b", "128", "in.wav", "out.mp3"}, NamingOutcome::named, 2, 3, "leading switch and its value skipped"},
        {{"-b", "128", "in.wav", "-V", "2", "out.mp3"}, NamingOutcome::named, 2, 2, "switch after the input"},
        {{"-b128", "in.wav"}, NamingOutcome::named, 1, 1, "no output after the input"},
        {{"-GUI"}, NamingOutcome::refused_switch, -1, -1, "a single switch"},
        {{"-h"}, NamingOutcome::refused_switch, -1, -1, "there is no help switch"},
        {{"sample"}, NamingOutcome::refused_switch, -1, -1, "a name that occurs inside the switch list"},
        {{""}, NamingOutcome::refused_switch, -1, -1, "the empty argument is a switch argument"},
        {{"-b", "128"}, NamingOutcome::refused_switches, -1, -1, "the value 128 is in the switch list too"},
        {{"in.wav", "-gui"}, NamingOutcome::named, 0, 0, "-gui is an unknown switch, not the output's name"},
        {{"-", "out.mp3"}, NamingOutcome::named, 0, 1, "- is standard input, not a switch"},
        {{"in.wav", "-"}, NamingOutcome::named, 0, 1, "- is standard output"},
        {{"-GUI", "-", "-"}, NamingOutcome::named, 1, 2, "both standard streams"},
        {{"-"}, NamingOutcome::named, 0, 0, "standard input, and standard output named after it"},
        {{"--quiet", "in.wav", "out.mp3"}, NamingOutcome::named, 1, 2, "an unknown switch names no file"},
        {{"in.wav", "--quiet", "out.mp3"}, NamingOutcome::named, 0, 2, "nor does it stand between the names"},
        {{"--ta", "Pop band", "in.wav", "out.mp3"}, NamingOutcome::named, 2, 3, "a tag's text is no file name"},
        {{"--tt", "a", "in.wav"}, NamingOutcome::named, 2, 2, "not even one that is in the switch list"},
        {{"--lowpass", "19", "in.wav", "out.mp3"}, NamingOutcome::named, 2, 3, "the value of an unknown switch"},
        {{"-q", "10", "in.wav", "out.mp3"}, NamingOutcome::named, 2, 3, "-q's value, though -q is a switch argument"},
        {{"-q", "2", "in.wav", "out.mp3"}, NamingOutcome::named, 2, 3, "a value in the switch list stays a switch"},
        {{"in.wav", "out.mp3", "-b", "128", "--disptime", "1"}, NamingOutcome::named, 0, 1, "switches after the names"},
        {{"--quiet"}, NamingOutcome::refused_switch, -1, -1, "an unknown switch alone names no file"},
        {{"--preset", "extreme"}, NamingOutcome::refused_switches, -1, -1, "nor does a switch and its value"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> pointers;
        for (const auto& arg : c.args) pointers.push_back(arg.c_str());
        ArgumentChoice choice = classify_arguments(static_cast<int>(pointers.size()), pointers.data());
        EXPECT_EQ(choice.outcome, c.outcome) << c.why;
        if (c.outcome == NamingOutcome::named) {
            EXPECT_EQ(choice.input_index, c.input) << c.why;
            EXPECT_EQ(choice.output_index, c.output) << c.why;
        }
    }
}

TEST(OutputNaming, GivesTheNameItsExtension) {
    struct Case {
        const char* before;
        const char* after;
        const char* why;
    } cases[] = {
        {"in.wav", "in.mp3", "three-character extension replaced"},
        {"music/in.wav", "music/in.mp3", "folders stay"},
        {"IN.WAV", "IN.mp3", "the old extension's case plays no part"},
        {"in.wave", "in.mp3", "four-character extension replaced"},
        {"my.song", "my.mp3", "any four characters after a dot"},
        {"song.mp3", "song.mp3", "unchanged"},
        {"a..wav", "a.mp3", "the fifth-from-end dot is tested first"},
        {"a.b.c", "a.mp3", "the dot fourth from the end"},
        {".wav", ".mp3", "only the fourth-from-end test can hold"},
        {"a.b", "a.b.mp3", "three characters or fewer: appended"},
        {"track.01", "track.01.mp3", "two characters after the dot: appended"},
        {"x.tar.gz", "x.tar.gz.mp3", "no dot in a tested position"},
        {"song", "song.mp3", "no dot at all"},
        {"take.2/a", "take.2/a.mp3", "a dot in a folder name is no extension"},
        {"take.2/a.wav", "take.2/a.mp3", "the extension of the last part is replaced"},
        {"dir.wave/ab", "dir.wave/ab.mp3", "not even one four characters from the end"},
        {"-", "-", "standard output keeps its name"},
        {"", ".mp3", "nothing before the name is read"},
    };
    for (const Case& c : cases) {
        char name[kNameCapacity + 1] = {};
        std::strcpy(name, c.before);
        EXPECT_EQ(derived_output_length(c.before), std::strlen(c.after)) << c.why;
        derive_output_name(name);
        EXPECT_STREQ(name, c.after) << c.why;
    }
}

TEST(AcceptFileNames, RefusesNamesThatDoNotFitTheirFields) {
    struct Case {
        std::vector<std::string> args;
        bool accepted;
        const char* why;
    } cases[] = {
        {{std::string(250, 'a') + ".wav"}, true, "254 characters, replaced extension keeps the length"},
        {{std::string(251, 'a') + ".wav"}, false, "255 characters do not fit the field"},
        {{"in.wav", std::string(250, 'o')}, true, "250 + .mp3 is exactly 254"},
        {{"in.wav", std::string(251, 'o')}, false, "251 + .mp3 would be 255"},
        {{"in.wav", std::string(255, 'o') + ".mp3"}, false, "259 characters"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> pointers;
        for (const auto& arg : c.args) pointers.push_back(arg.c_str());
        FileNames names{};
        CommandText command_text = command_text_of(c.args);
        testing::internal::CaptureStdout();
        NamingOutcome outcome =
            accept_file_names(static_cast<int>(pointers.size()), pointers.data(), command_text, names);
        if (outcome != NamingOutcome::named) show_command_line_refusal(outcome);
        bool accepted = outcome == NamingOutcome::named;
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(accepted, c.accepted) << c.why;
        EXPECT_EQ(printed, c.accepted ? "" : "Cannot accept kovex [file name too long]") << c.why;
        EXPECT_LE(std::strlen(names.output_name), kNameCapacity) << c.why;
    }
}

}  // namespace
