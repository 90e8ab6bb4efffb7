#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

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

// Checks that each text reads as the paired number of seconds in the form `code`.
void expectReads(int64_t code, std::initializer_list<std::pair<std::string_view, double>> cases) {
    for (const auto& [text, seconds] : cases)
        EXPECT_DOUBLE_EQ(parse(code, text), seconds) << code << " '" << text << "'";
}

void expectInvalid(int64_t code, std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts)
        EXPECT_EQ(parse(code, text), kInvalid) << code << " '" << text << "'";
}

// Decimal hours (1: point, 2: point or comma) and decimal seconds (30, 31 alike).
TEST(DurationParser, DecimalFormsReadTheirSeparatorsOnly) {
    expectReads(1, {{"1.5", 5400}, {"0.25", 900}, {".5", 1800}, {"5.", 18000}, {"0", 0}});
    // What cannot belong to the number is dropped from the ends, never from inside.
    expectReads(1, {{"  1.75 h", 6300}, {"\"2\"", 7200}, {"≈1.5 ч", 5400}});
    expectInvalid(1, {"1,5", "1.2.3", "1 .5", "1h30", "1e3", "0x10", "1.5 Std."});
    expectReads(2, {{"1,5", 5400}, {"1.5", 5400}, {",75", 2700}, {"1,5 Stunden", 5400}});
    // A text with both is a number with thousands separators or two numbers: ambiguous.
    expectInvalid(2, {"1.000,5", "1,000.5", "1,5,5"});
    expectReads(30, {{"320.5", 320.5}, {"320.5 s", 320.5}});
    expectReads(31, {{"320,5", 320.5}, {"320.5", 320.5}});
    expectInvalid(30, {"320,5"});
    expectInvalid(31, {"1.320,5"});
}

TEST(DurationParser, HoursAndMinutesNeedTwoMinuteDigitsBelowSixty) {
    expectReads(10, {{"2:05", 7500}, {"2:59", 10740}, {"0:00", 0}, {"100:00", 360000}});
    expectReads(10, {{"0002:05", 7500}, {" 2h:05m ", 7500}});
    // Empty parts: hours count as 0, minutes as 00.
    expectReads(10, {{":30", 1800}, {"2:", 7200}});
    expectInvalid(
        10, {"2:5", "2:75", "2:60", "2:005", "205", "2:05:00", "2 5:05", "1.5:30", "2:0 5", ":"});
}

TEST(DurationParser, HoursMinutesAndSecondsNeedTwoDigitsEachBelowSixty) {
    expectReads(11, {{"1:45:30", 6330}, {"0:00:59", 59}, {"::05", 5}, {"96:00:00", 345600}});
    expectInvalid(11, {"1:45", "1:45:3", "1:45:60", "1:60:00", "1:45:30:00", "::"});
}

TEST(DurationParser, UnitsInTheOrderHoursMinutesSecondsEachOnceAndNoDigitsAfterTheLast) {
    expectReads(20, {{"1h 30m", 5400}, {"1h30m", 5400}, {"90 min", 5400}, {"2 hours", 7200}});
    expectReads(20, {{"45s", 45}, {"1H 30M 15S", 5415}, {"2 Hours 5 Minutes 10 Seconds", 7510}});
    expectReads(20, {{"2 hrs 5 min 10 sec", 7510}, {"1h 90m", 9000}, {"1.5h", 5400}});
    expectReads(20, {{"1,5h 30m", 7200}, {"\"1h 30m\"", 5400}, {"1 h.", 3600}});
    // Singular and short words: "2 hours" has always been read; "1 hour" must be too.
    expectReads(20, {{"1 hour", 3600}, {"1 hour 1 minute 1 second", 3661}, {"1 hr 30 mins", 5400}});
    expectReads(20, {{"45 secs", 45}});
    expectInvalid(20, {"30m 1h", "1h 2h", "1s 1m", "5", "1h m", "m 30", "1:30", "1.2.3h", "1 5h",
                       "1h 30m and more"});
    // "1h 30" probably means 1h 30m; reading it as one hour would lose half an hour.
    expectInvalid(20, {"1h 30", "1h 30m 15"});
}

TEST(DurationParser, TextsThatAreNoDurationAreInvalidInEveryForm) {
    const std::string huge = "1" + std::string(400, '0');
    for (const int64_t code : kAllCodes) {
        // No digits: an empty CSV cell must not import as a zero-length timing.
        expectInvalid(code, {"", " ", "\t", "h", "hms", ".", ",", ":", "::", "n/a", "—"});
        // Signs: dropping the "-" from the end would turn minus two hours into two hours.
        expectInvalid(code, {"-2", "+2", "−2", "2-", "－2", "-0", "-2:00", "-1h", "1h -30m"});
        // Digits of other scripts: read as "other" characters, "1٥" would silently become 1.
        expectInvalid(code, {"١٫٥", "١٥", "1٥", "１.５", "２:０５", "१h", "1h ３0m"});
        // Huge numbers, infinities and not-a-number.
        expectInvalid(
            code, {huge, huge + ":00", huge + ":00:00", huge + "h", "99999999999999999999999:00",
                   "inf", "infinity", "∞", "nan", "1e999", "1e-5"});
        // Broken UTF-8, an encoded surrogate and an embedded NUL.
        expectInvalid(code, {"1\xff", "\xc3", "1\xed\xa0\x80", std::string_view("1\0005", 3)});
    }
    const std::string padded = std::string(F::kLongestText - 3, ' ') + "1.5";
    EXPECT_DOUBLE_EQ(parse(1, padded), 5400);
    EXPECT_EQ(parse(1, " " + padded), kInvalid) << "longer than the longest text";
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
