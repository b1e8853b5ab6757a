// The help pages and the title banner as texts, byte for byte.
#include <gtest/gtest.h>

#include <cstring>

#include "decisions/code_page_437.h"
#include "decisions/screen_texts.h"
#include "kovex_build.h"
#include "support/screen_text.h"

namespace {

TEST(HelpPages, EachPageIsItsTextAndItsPromptHasNoLineEnd) {
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        EXPECT_TRUE(kt::screen_matches(help_page_text(page, kVersionString), kt::help_page(page)));
        EXPECT_EQ(help_page_prompt(page), kt::help_prompt(page));
    }
}

TEST(TitleBanner, ShowsTheVersionsOfTheRecord) {
    struct Case {
        EngineVersion version;
        const char* library_line;
        const char* engine_line;
        const char* why;
    };
    auto record = [](uint8_t lib_major, uint8_t lib_minor, uint8_t major, uint8_t minor, uint8_t day,
                     uint8_t month, uint16_t year) {
        EngineVersion version;
        std::memset(&version, 0, sizeof version);
        version.library_major = lib_major;
        version.library_minor = lib_minor;
        version.engine_major = major;
        version.engine_minor = minor;
        version.release_day = day;
        version.release_month = month;
        version.release_year = year;
        return version;
    };
    const Case cases[] = {
        {record(1, 5, 3, 100, 7, 9, 2024), "  Initialized: lame_enc.dll version 1.05 (7/9/2024)\n",
         "  Initialized: LAME MP3 Engine version 3.100\n", "a minor below 10 takes a leading zero; the date none"},
        {record(2, 12, 3, 9, 31, 12, 1999), "  Initialized: lame_enc.dll version 2.12 (31/12/1999)\n",
         "  Initialized: LAME MP3 Engine version 3.09\n", "two-digit day and month, day first"},
        {record(0, 0, 0, 0, 0, 0, 0), "  Initialized: lame_enc.dll version 0.00 (0/0/0)\n",
         "  Initialized: LAME MP3 Engine version 0.00\n", "an engine that leaves the record untouched"},
        {record(255, 255, 255, 255, 255, 255, 65535), "  Initialized: lame_enc.dll version 255.255 (255/255/65535)\n",
         "  Initialized: LAME MP3 Engine version 255.255\n", "widest values: all unsigned, none cut"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(kt::screen_matches(title_banner_text(c.version, kVersionString),
                                       kt::title_banner(c.library_line, c.engine_line)));
    }
}

TEST(TitleBanner, BoxIsTheFirstPartOfHelpPageOne) {
    std::string box = title_box_text(kVersionString);
    EXPECT_EQ(help_page_text(1, kVersionString).compare(0, box.size(), box), 0);
    EXPECT_TRUE(kt::screen_matches(box, kt::title_box(kVersionString)));
}

}  // namespace
