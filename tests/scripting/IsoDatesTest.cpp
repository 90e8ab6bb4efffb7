#include <gtest/gtest.h>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/calendar/ZRCalendar.h"
#include "scripting/IsoDates.h"

namespace ravelong {
namespace {

// 2024-03-12 08:30:00 UTC.
constexpr double kUnix = 1710232200.0;

TEST(IsoDates, ReadsEveryOffsetFormAndTheSameInstantEachTime) {
    const Instant expected = instantFromUnixTime(kUnix);
    for (const char* text :
         {"2024-03-12T08:30:00Z", "2024-03-12T09:30:00+01:00", "2024-03-12 09:30+0100",
          "2024-03-12T03:30:00-05", "2024-03-12T14:00:00+05:30", "2024-03-12T08:30:00.000Z"}) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(iso_dates::parse(text).has_value());
        EXPECT_DOUBLE_EQ(*iso_dates::parse(text), expected);
    }
    EXPECT_DOUBLE_EQ(*iso_dates::parse("2024-03-12T08:30:00.25Z"), expected + 0.25);
}

TEST(IsoDates, RefusesTextsThatNameNoSingleInstant) {
    for (const char* text :
         {"", "2024-03-12", "2024-03-12T09:30:00", "2024-03-12T09:30:00+1", "2024-02-30T09:30Z",
          "2023-02-29T09:30Z", "2024-13-01T09:30Z", "2024-03-12T24:00Z", "2024-03-12T09:60Z",
          "2024-03-12T09:30:61Z", "2024-03-12T09:30:00+19:00", "2024-03-12T09:30:00Zjunk",
          "tomorrow", "2024-03-12T09:30:00.Z", "１２３４-03-12T09:30Z", "2024-03-12T09:30+01:60"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(iso_dates::parse(text).has_value());
    }
    EXPECT_TRUE(iso_dates::parse("2024-02-29T09:30Z").has_value());
}

TEST(IsoDates, WritesTheOffsetInForceAndReadsBackTheSameInstant) {
    ScopedUserCalendar calendar{"Europe/Berlin", "de_DE"};
    const ZRCalendar user = ZRCalendar::zrCalendar();
    struct Case {
        double unix;
        const char* text;
    };
    const Case cases[] = {
        {kUnix, "2024-03-12T09:30:00+01:00"},
        {kUnix + 0.5, "2024-03-12T09:30:00.500+01:00"},
        // 2024-07-01 10:00 UTC is summer time.
        {1719828000.0, "2024-07-01T12:00:00+02:00"},
    };
    for (const Case& c : cases) {
        const Instant instant = instantFromUnixTime(c.unix);
        EXPECT_EQ(iso_dates::format(instant, user), c.text);
        EXPECT_DOUBLE_EQ(*iso_dates::parse(iso_dates::format(instant, user)), instant);
    }
}

}  // namespace
}  // namespace ravelong
