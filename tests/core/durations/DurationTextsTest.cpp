#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include "core/calendar/ScopedUserCalendar.h"
#include "core/durations/DateDurationStrings.h"
#include "core/durations/DecimalSeparator.h"
#include "core/durations/NumberDurationStrings.h"

namespace ravelong {
namespace {

using namespace date_additions;
using namespace number_additions;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

class DurationTexts : public ::testing::Test {
protected:
    ScopedUserCalendar calendar_{"UTC", "en_US"};
};

using Text = std::string (*)(double);

// Checks one text function on pairs of (seconds or minutes, text).
void expectTexts(const char* name, Text text,
                 std::initializer_list<std::pair<double, const char*>> cases) {
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(text(value), expected) << name << "(" << value << ")";
}
#define EXPECT_TEXTS(text, ...) expectTexts(#text, text, __VA_ARGS__)

// Minutes against the hour and the half minute:
//
//   seconds   29.9  30   89.9  90   3569  3570  3599  3600
//   nearest    0    1     1    2     59    60    60    60
//   down       0    0     1    1     59    59    59    60
TEST_F(DurationTexts, HoursAndMinutesRoundAtTheHalfMinuteOrTruncate) {
    EXPECT_TEXTS(getStringOfDuration_hm_roundNearest,
                 {{3599, "1h 0m"}, {3600, "1h 0m"}, {29.9, "0h 0m"}, {30, "0h 1m"}});
    EXPECT_TEXTS(getStringOfDuration_hm_roundDown,
                 {{3599, "0h 59m"}, {3600, "1h 0m"}, {30, "0h 0m"}});
    EXPECT_TEXTS(getStringOfDuration_hoursMinutes_roundNearest,
                 {{90, "0 hours 2 minutes"}, {89.9, "0 hours 1 minutes"}});
    EXPECT_TEXTS(getStringOfDuration_hoursMinutes_roundDown, {{90, "0 hours 1 minutes"}});

    EXPECT_EQ(getMinutesOfDuration_roundNearest(89.9), 1);
    EXPECT_EQ(getMinutesOfDuration_roundNearest(90), 2);
    EXPECT_EQ(getMinutesOfDuration_roundDown(119.9), 1);
    EXPECT_EQ(getMinutesOfDuration_roundDown(0), 0);
}

TEST_F(DurationTexts, ClockFormsPadMinutesAndPadHoursOnlyBelowTenHours) {
    EXPECT_TEXTS(getStringOfDuration_hmm_roundNearest,
                 {{0, "0:00"}, {3599, "1:00"}, {3600000 + 540, "1000:09"}});
    EXPECT_TEXTS(getStringOfDuration_hhmm_roundNearest,
                 {{0, "00:00"}, {35999, "10:00"}, {360000, "100:00"}});
    EXPECT_TEXTS(getStringOfDuration_hmm_roundDown, {{3599, "0:59"}});
    EXPECT_TEXTS(getStringOfDuration_hhmm_roundDown, {{35999, "09:59"}});
    EXPECT_TEXTS(getStringOfDuration_hhmmss, {{0, "0:00:00"}, {59, "0:00:59"}});
    EXPECT_TEXTS(getStringOfDuration_hhmmss, {{3599.5, "1:00:00"}, {36000 + 600 + 9, "10:10:09"}});
}

TEST_F(DurationTexts, SecondsFormsRoundToTheNearestSecond) {
    EXPECT_TEXTS(getStringOfDuration_hms, {{0, "0h 0m 0s"}, {59.4, "0h 0m 59s"}});
    EXPECT_TEXTS(getStringOfDuration_hms, {{59.5, "0h 1m 0s"}, {3599, "0h 59m 59s"}});
    EXPECT_TEXTS(getStringOfDuration_hms, {{360000, "100h 0m 0s"}});
    EXPECT_TEXTS(getStringOfDuration_hoursMinutesSeconds, {{3661, "1 hours 1 minutes 1 seconds"}});
}

TEST_F(DurationTexts, MinutesAndSecondsBelowAnHourThenHoursAndMinutes) {
    // 3599.6 rounds up into the hour: shown as an hour, never as "60m 00s".
    EXPECT_TEXTS(getStringOfDuration_hm_ms, {{0, "0m 00s"}, {9.4, "0m 09s"}, {59, "0m 59s"}});
    EXPECT_TEXTS(getStringOfDuration_hm_ms, {{3599, "59m 59s"}, {3599.6, "1h 00m"}});
    EXPECT_TEXTS(getStringOfDuration_hm_ms, {{3600 + 9 * 60, "1h 09m"}});
    EXPECT_TEXTS(getStringOfDuration_hm_ms, {{3600 + 9 * 60 + 30, "1h 10m"}, {36000, "10h 00m"}});
    EXPECT_TEXTS(getStringOfDuration_hm_m_trunc0, {{0, "0m"}, {3569, "59m"}, {3570, "1h 0m"}});
}

TEST_F(DurationTexts, NumbersOfSecondsCountWholeSecondsOnly) {
    // A number receiver truncates: 59.9 s is 59 s, where the seconds form rounds it to a minute.
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hms, {{59.9, "0h 0m 59s"}});
    EXPECT_TEXTS(getStringOfDuration_hms, {{59.9, "0h 1m 0s"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hmmss, {{3599.9, "0:59:59"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hoursMinutesSeconds,
                 {{36000, "10 hours 0 minutes 0 seconds"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_ms_roundDown, {{3725.9, "62m 5s"}, {0, "0m 0s"}});

    // Minutes still round at the half minute of the whole seconds.
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hm_roundNearest, {{89, "0h 1m"}, {90, "0h 2m"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hm_roundDown, {{3599, "0h 59m"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hoursMinutes_roundNearest,
                 {{3599, "1 hours 0 minutes"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hoursMinutes_roundDown,
                 {{3599, "0 hours 59 minutes"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hmm_roundNearest, {{0, "0:00"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hmm_roundDown, {{3599, "0:59"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hhmm_roundNearest, {{35999, "10:00"}});
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hhmm_roundDown, {{35999, "09:59"}});

    EXPECT_EQ(convertSecondsToMinutes(89), 1);
    EXPECT_EQ(convertSecondsToMinutes(90), 2);
    EXPECT_EQ(convertSecondsToMinutesAndAddMinutes(90, 5), 7);
    EXPECT_EQ(convertSecondsToMinutesAndAddMinutes(0, -5), -5);
    EXPECT_EQ(convertSecondsToMinutesAndAddMinutes(kInfinity, INT64_MAX), INT64_MAX);
}

//   hours        99:59  99:59:30  100:00   999:59  1000:00
//   truncAt100   both   100h      100h     999h    1000h
//   truncAt1000  both   both      both     both    1000h
TEST_F(DurationTexts, LongTotalsDropTheMinutesFromOneHundredOrOneThousandHours) {
    EXPECT_TEXTS(getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest,
                 {{359940, "99h 59m"}, {359970, "100h"}, {360000, "100h"}});
    EXPECT_TEXTS(getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundDown,
                 {{359999, "99h 59m"}, {3599940, "999h"}});
    EXPECT_TEXTS(getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundNearest,
                 {{360000, "100h 0m"}, {3599970, "1000h"}, {3600000, "1000h"}});
    EXPECT_TEXTS(getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundDown,
                 {{3599999, "999h 59m"}});
}

TEST_F(DurationTexts, SecondsStopCountingAtTenHoursAndRoundTheMinuteUpFrom31) {
    EXPECT_TEXTS(getStringRepresentationOfSeconds_hms_truncAt10h,
                 {{35999, "9h 59m 59s"},
                  {36000, "10h 0m"},
                  {36030, "10h 0m"},
                  {36031, "10h 1m"},
                  {36045, "10h 1m"},
                  {36000 + 59 * 60 + 45, "11h 0m"}});
}

TEST_F(DurationTexts, TheCounterNamesItsKind) {
    int32_t kind = -1;
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(0, &kind), "0s");
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(59.9, &kind), "59s");
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(60, &kind), "1m 0s");
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(3599, &kind), "59m 59s");
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(3659, &kind), "1h 0m");
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(getStringRepresentationOfSecondsForCounter(360000, nullptr), "100h 0m");
}

TEST_F(DurationTexts, NumbersOfMinutes) {
    EXPECT_TEXTS(getStringRepresentationOfMinutes_hm, {{0, "0h 0m"}, {61, "1h 1m"}});
    EXPECT_TEXTS(getStringRepresentationOfMinutes_hm2, {{59, "59m"}, {60, "1h 0m"}});
    EXPECT_TEXTS(getStringRepresentationOfMinutes_hoursMinutes, {{125, "2 hours 5 minutes"}});
    EXPECT_TEXTS(getStringRepresentationOfMinutes_hmm, {{5, "0:05"}});
    EXPECT_TEXTS(getStringRepresentationOfMinutes_hhmm,
                 {{599, "09:59"}, {600, "10:00"}, {60000, "1000:00"}});
}

TEST_F(DurationTexts, DecimalHoursUseTheUsersSeparator) {
    EXPECT_EQ(getStringOfDuration_decimalHours(0), "0.00");
    EXPECT_EQ(getStringOfDuration_decimalHours(5400), "1.50");
    EXPECT_EQ(getStringOfDuration_decimalHours(3600000), "1000.00");
    {
        ScopedUserCalendar german("Europe/Berlin", "de_DE");
        EXPECT_EQ(getStringOfDuration_decimalHours(5400), "1,50");
        EXPECT_EQ(getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(4500),
                  "1,25h");
        EXPECT_EQ(getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(7200),
                  "2,0h");
        // The number is for arithmetic, so it is read with a point whatever the locale.
        EXPECT_DOUBLE_EQ(getHoursOfDuration_decimalHours(5000), 1.39);
    }
    {
        // Swiss German writes a point: the separator comes from ICU's data, not the language.
        ScopedUserCalendar swiss("Europe/Zurich", "de_CH");
        EXPECT_EQ(getStringOfDuration_decimalHours(5400), "1.50");
    }
    EXPECT_EQ(decimal_separator::forLocale("fr_FR"), ",");
    // Arabic writes U+066B with Arabic-Indic digits; with our Latin digits it writes a point.
    EXPECT_EQ(decimal_separator::forLocale("ar_EG"), ".");
}

//   hours       0.01   0.1    1.25   1.5   2     1000    1000.5
//   text        0.01h  0.1h   1.25h  1.5h  2.0h  1000.0h 1001h
TEST_F(DurationTexts, DecimalHoursDropASecondDecimalOfZeroAndWholeHoursAboveOneThousand) {
    EXPECT_TEXTS(getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest,
                 {{36, "0.01h"},
                  {360, "0.1h"},
                  {4500, "1.25h"},
                  {5400, "1.5h"},
                  {7200, "2.0h"},
                  {0, "0.0h"},
                  {3600000, "1000.0h"},
                  {3601800, "1001h"},
                  {3601799, "1000h"}});
    EXPECT_DOUBLE_EQ(getHoursOfDuration_decimalHours(0), 0.0);
    EXPECT_DOUBLE_EQ(getHoursOfDuration_decimalHours(5400), 1.5);
}

TEST_F(DurationTexts, TheProcessLocaleDoesNotLeakIntoTheTexts) {
    // A Qt program runs under the desktop's C locale; our user locale here is en_US.
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    const std::string decimal = getStringOfDuration_decimalHours(5400);
    const double hours = getHoursOfDuration_decimalHours(5400);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(decimal, "1.50");
    EXPECT_DOUBLE_EQ(hours, 1.5);
}

TEST_F(DurationTexts, NegativeAndNotANumberCountAsZeroAndInfinityIsBounded) {
    for (const double bad : {-0.4, -5.0, -1e300, kNaN}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(getStringOfDuration_hm_roundNearest(bad), "0h 0m");
        EXPECT_EQ(getStringOfDuration_hhmmss(bad), "0:00:00");
        EXPECT_EQ(getStringOfDuration_decimalHours(bad), "0.00");
        EXPECT_EQ(getStringRepresentationOfSeconds_hms(bad), "0h 0m 0s");
        EXPECT_EQ(getStringRepresentationOfMinutes_hmm(bad), "0:00");
        EXPECT_EQ(getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(bad),
                  "0.0h");
        EXPECT_EQ(getMinutesOfDuration_roundNearest(bad), 0);
    }
    // Infinity counts as 2^53 seconds, the largest whole count a double holds exactly.
    EXPECT_EQ(getStringOfDuration_hm_roundNearest(kInfinity), "2501999792983h 37m");
    EXPECT_EQ(getStringRepresentationOfSeconds_hms(kInfinity), "2501999792983h 36m 32s");
    EXPECT_EQ(getStringRepresentationOfSecondsInDecimalHours_truncAt1000_roundNearest(1e300),
              "2501999792984h");
}

}  // namespace
}  // namespace ravelong
