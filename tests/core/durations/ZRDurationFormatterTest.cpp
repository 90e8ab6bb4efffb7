#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/durations/DateDurationStrings.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/durations/ZRDurationFormatter.h"

namespace ravelong {
namespace {

using F = ZRDurationFormatter;
constexpr double kInvalid = -1.0;

constexpr int64_t kAllCodes[] = {F::kDecimalHoursWithPoint,
                                 F::kDecimalHoursWithPointOrComma,
                                 F::kHoursMinutes,
                                 F::kHoursMinutesSeconds,
                                 F::kUnits,
                                 F::kDecimalSecondsWithPoint,
                                 F::kDecimalSecondsWithPointOrComma};

double parse(int64_t code, std::string_view text) {
    return ZRDurationFormatter(code).durationFromString(text);
}

TEST(DurationParser, DecimalHoursWithAPoint) {
    EXPECT_DOUBLE_EQ(parse(1, "1.5"), 5400);
    EXPECT_DOUBLE_EQ(parse(1, "0.25"), 900);
    EXPECT_DOUBLE_EQ(parse(1, ".5"), 1800);
    EXPECT_DOUBLE_EQ(parse(1, "5."), 18000);
    EXPECT_DOUBLE_EQ(parse(1, "0"), 0);
    // What cannot belong to the number is dropped from the ends, never from inside.
    EXPECT_DOUBLE_EQ(parse(1, "  1.75 h"), 6300);
    EXPECT_DOUBLE_EQ(parse(1, "\"2\""), 7200);
    EXPECT_DOUBLE_EQ(parse(1, "≈1.5 ч"), 5400);
    for (const char* text : {"1,5", "1.2.3", "1 .5", "1h30", "1e3", "0x10", "1.5 Std."}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse(1, text), kInvalid);
    }
}

TEST(DurationParser, DecimalHoursWithAPointOrAComma) {
    EXPECT_DOUBLE_EQ(parse(2, "1,5"), 5400);
    EXPECT_DOUBLE_EQ(parse(2, "1.5"), 5400);
    EXPECT_DOUBLE_EQ(parse(2, ",75"), 2700);
    EXPECT_DOUBLE_EQ(parse(2, "1,5 Stunden"), 5400);
    // A text with both is a number with thousands separators or two numbers: ambiguous.
    EXPECT_EQ(parse(2, "1.000,5"), kInvalid);
    EXPECT_EQ(parse(2, "1,000.5"), kInvalid);
    EXPECT_EQ(parse(2, "1,5,5"), kInvalid);
}

TEST(DurationParser, DecimalSecondsReadTheNumberItself) {
    EXPECT_DOUBLE_EQ(parse(30, "320.5"), 320.5);
    EXPECT_DOUBLE_EQ(parse(30, "320.5 s"), 320.5);
    EXPECT_EQ(parse(30, "320,5"), kInvalid);
    EXPECT_DOUBLE_EQ(parse(31, "320,5"), 320.5);
    EXPECT_DOUBLE_EQ(parse(31, "320.5"), 320.5);
    EXPECT_EQ(parse(31, "1.320,5"), kInvalid);
}

TEST(DurationParser, HoursAndMinutesNeedTwoMinuteDigitsBelowSixty) {
    EXPECT_DOUBLE_EQ(parse(10, "2:05"), 7500);
    EXPECT_DOUBLE_EQ(parse(10, "2:59"), 10740);
    EXPECT_DOUBLE_EQ(parse(10, "0:00"), 0);
    EXPECT_DOUBLE_EQ(parse(10, "100:00"), 360000);
    EXPECT_DOUBLE_EQ(parse(10, "0002:05"), 7500);
    EXPECT_DOUBLE_EQ(parse(10, " 2h:05m "), 7500);
    // Empty parts: hours count as 0, minutes as 00.
    EXPECT_DOUBLE_EQ(parse(10, ":30"), 1800);
    EXPECT_DOUBLE_EQ(parse(10, "2:"), 7200);
    for (const char* text :
         {"2:5", "2:75", "2:60", "2:005", "205", "2:05:00", "2 5:05", "1.5:30", "2:0 5", ":"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse(10, text), kInvalid);
    }
}

TEST(DurationParser, HoursMinutesAndSecondsNeedTwoDigitsEachBelowSixty) {
    EXPECT_DOUBLE_EQ(parse(11, "1:45:30"), 6330);
    EXPECT_DOUBLE_EQ(parse(11, "0:00:59"), 59);
    EXPECT_DOUBLE_EQ(parse(11, "::05"), 5);
    EXPECT_DOUBLE_EQ(parse(11, "96:00:00"), 345600);
    for (const char* text : {"1:45", "1:45:3", "1:45:60", "1:60:00", "1:45:30:00", "::"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse(11, text), kInvalid);
    }
}

TEST(DurationParser, UnitsInTheOrderHoursMinutesSecondsEachOnce) {
    EXPECT_DOUBLE_EQ(parse(20, "1h 30m"), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "1h30m"), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "90 min"), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "2 hours"), 7200);
    EXPECT_DOUBLE_EQ(parse(20, "45s"), 45);
    EXPECT_DOUBLE_EQ(parse(20, "1H 30M 15S"), 5415);
    EXPECT_DOUBLE_EQ(parse(20, "2 Hours 5 Minutes 10 Seconds"), 7510);
    EXPECT_DOUBLE_EQ(parse(20, "2 hrs 5 min 10 sec"), 7510);
    EXPECT_DOUBLE_EQ(parse(20, "1h 90m"), 9000);
    EXPECT_DOUBLE_EQ(parse(20, "1.5h"), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "1,5h 30m"), 7200);
    EXPECT_DOUBLE_EQ(parse(20, "\"1h 30m\""), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "1 h."), 3600);
    for (const char* text : {"30m 1h", "1h 2h", "1s 1m", "5", "1h m", "m 30", "1:30", "1.2.3h",
                             "1 5h", "1h 30m and more"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse(20, text), kInvalid);
    }
}

TEST(DurationParser, UnitsAcceptSingularAndShortWords) {
    // "2 hours" has always been read; "1 hour" must be too.
    EXPECT_DOUBLE_EQ(parse(20, "1 hour"), 3600);
    EXPECT_DOUBLE_EQ(parse(20, "1 hour 1 minute 1 second"), 3661);
    EXPECT_DOUBLE_EQ(parse(20, "1 hr 30 mins"), 5400);
    EXPECT_DOUBLE_EQ(parse(20, "45 secs"), 45);
}

TEST(DurationParser, DigitsAfterTheLastUnitAreRefusedRatherThanDropped) {
    // "1h 30" probably means 1h 30m; reading it as one hour would lose half an hour.
    EXPECT_EQ(parse(20, "1h 30"), kInvalid);
    EXPECT_EQ(parse(20, "1h 30m 15"), kInvalid);
}

TEST(DurationParser, TextsWithoutDigitsAreInvalidInEveryForm) {
    // An empty CSV cell must not import as a zero-length timing.
    for (const int64_t code : kAllCodes) {
        for (const char* text : {"", " ", "\t", "h", "hms", ".", ",", ":", "::", "n/a", "—"}) {
            SCOPED_TRACE(::testing::Message() << code << " '" << text << "'");
            EXPECT_EQ(parse(code, text), kInvalid);
        }
    }
}

TEST(DurationParser, SignsAreRefusedInsteadOfDropped) {
    // Dropping the "-" from the end of a text would turn minus two hours into two hours.
    for (const int64_t code : kAllCodes) {
        for (const char* text : {"-2", "+2", "−2", "2-", "－2", "-0", "-2:00", "-1h", "1h -30m"}) {
            SCOPED_TRACE(::testing::Message() << code << " " << text);
            EXPECT_EQ(parse(code, text), kInvalid);
        }
    }
}

TEST(DurationParser, DigitsOfOtherScriptsAreInvalid) {
    // Read as "other" characters, "1٥" would silently become 1.
    for (const int64_t code : kAllCodes) {
        for (const char* text : {"١٫٥", "١٥", "1٥", "１.５", "２:０５", "१h", "1h ３0m"}) {
            SCOPED_TRACE(::testing::Message() << code << " " << text);
            EXPECT_EQ(parse(code, text), kInvalid);
        }
    }
}

TEST(DurationParser, HugeNumbersInfinitiesAndNotANumberAreInvalid) {
    const std::string hugeDigits = "1" + std::string(400, '0');
    for (const int64_t code : kAllCodes) {
        for (const std::string& text :
             {hugeDigits, hugeDigits + ":00", hugeDigits + ":00:00", hugeDigits + "h",
              std::string("99999999999999999999999:00"), std::string("inf"),
              std::string("infinity"), std::string("∞"), std::string("nan"), std::string("1e999"),
              std::string("1e-5")}) {
            SCOPED_TRACE(::testing::Message() << code << " " << text.substr(0, 30));
            EXPECT_EQ(parse(code, text), kInvalid);
        }
    }
}

TEST(DurationParser, TheLongestDurationIsAMillionHours) {
    EXPECT_DOUBLE_EQ(parse(1, "1000000"), F::kLongestDuration);
    EXPECT_EQ(parse(1, "1000000.001"), kInvalid);
    EXPECT_DOUBLE_EQ(parse(10, "1000000:00"), F::kLongestDuration);
    EXPECT_EQ(parse(10, "1000000:01"), kInvalid);
    EXPECT_DOUBLE_EQ(parse(30, "3600000000"), F::kLongestDuration);
    EXPECT_EQ(parse(31, "3600000000,5"), kInvalid);
    EXPECT_EQ(parse(20, "1000000h 1s"), kInvalid);
}

TEST(DurationParser, OverlongAndMalformedTextsAreInvalid) {
    const std::string padded = std::string(F::kLongestText - 3, ' ') + "1.5";
    EXPECT_DOUBLE_EQ(parse(1, padded), 5400);
    EXPECT_EQ(parse(1, " " + padded), kInvalid);
    for (const int64_t code : kAllCodes) {
        for (const std::string_view text : {std::string_view("1\xff"), std::string_view("\xc3"),
                                            std::string_view("1\xed\xa0\x80"),
                                            std::string_view("1\0"
                                                             "5",
                                                             3)}) {
            SCOPED_TRACE(code);
            EXPECT_EQ(parse(code, text), kInvalid);
        }
    }
}

TEST(DurationParser, UnknownFormsReadNothing) {
    ZRDurationFormatter formatter;
    EXPECT_EQ(formatter.durationFromString("1"), kInvalid);
    for (const int64_t code :
         {int64_t{0}, int64_t{3}, int64_t{12}, int64_t{21}, int64_t{-1}, INT64_MAX, INT64_MIN}) {
        formatter.setDurationFormat(code);
        EXPECT_EQ(formatter.durationFormat(), code);
        EXPECT_EQ(formatter.durationFromString("1"), kInvalid);
    }
    formatter.setDurationFormat(F::kHoursMinutes);
    EXPECT_DOUBLE_EQ(formatter.durationFromString("1:00"), 3600);
}

// Every text we write can be read back in the form that matches it.
TEST(DurationParser, ReadsBackTheTextsWeWrite) {
    ScopedUserCalendar calendar("UTC", "en_US");
    for (const double seconds : {0.0, 1.0, 59.0, 60.0, 3599.0, 3600.0, 35999.0, 36000.0, 45296.0,
                                 345600.0, 359999.0, 360000.0, 3599999.0, 3600000.0}) {
        SCOPED_TRACE(seconds);
        const double minutes = std::floor(seconds / 60) * 60;
        const double nearestMinutes = std::round(seconds / 60) * 60;
        EXPECT_DOUBLE_EQ(parse(11, date_additions::getStringOfDuration_hhmmss(seconds)), seconds);
        EXPECT_DOUBLE_EQ(
            parse(11, number_additions::getStringRepresentationOfSeconds_hmmss(seconds)), seconds);
        EXPECT_DOUBLE_EQ(parse(20, date_additions::getStringOfDuration_hms(seconds)), seconds);
        EXPECT_DOUBLE_EQ(
            parse(20, date_additions::getStringOfDuration_hoursMinutesSeconds(seconds)), seconds);
        EXPECT_DOUBLE_EQ(parse(10, date_additions::getStringOfDuration_hmm_roundDown(seconds)),
                         minutes);
        EXPECT_DOUBLE_EQ(parse(10, date_additions::getStringOfDuration_hhmm_roundDown(seconds)),
                         minutes);
        EXPECT_DOUBLE_EQ(parse(20, date_additions::getStringOfDuration_hm_roundNearest(seconds)),
                         nearestMinutes);
        EXPECT_DOUBLE_EQ(
            parse(20, date_additions::getStringOfDuration_hoursMinutes_roundDown(seconds)),
            minutes);
        // Two decimals of an hour are 36 seconds apart.
        EXPECT_NEAR(parse(1, date_additions::getStringOfDuration_decimalHours(seconds)), seconds,
                    18.0);
    }
    ScopedUserCalendar german("Europe/Berlin", "de_DE");
    EXPECT_EQ(parse(1, date_additions::getStringOfDuration_decimalHours(5400)), kInvalid);
    EXPECT_DOUBLE_EQ(parse(2, date_additions::getStringOfDuration_decimalHours(5400)), 5400);
}

}  // namespace
}  // namespace ravelong
