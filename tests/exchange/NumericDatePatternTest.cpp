#include <gtest/gtest.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>
#include <random>
#include <string>

#include "exchange/csv/NumericDatePattern.h"

namespace ravelong::csv {
namespace {

std::unique_ptr<icu::SimpleDateFormat> strictIcuFormat(const std::string& pattern) {
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString::fromUTF8(pattern),
                                                          icu::Locale("en_US"), status);
    EXPECT_TRUE(U_SUCCESS(status)) << pattern;
    format->setLenient(false);
    format->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
    return format;
}

std::optional<double> icuParse(const icu::SimpleDateFormat& format, const std::string& cell) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(cell);
    icu::ParsePosition position(0);
    const UDate date = format.parse(text, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != text.length())
        return std::nullopt;
    return date;
}

std::string icuFormat(const icu::SimpleDateFormat& format, double milliseconds) {
    icu::UnicodeString text;
    format.format(milliseconds, text);
    std::string utf8;
    return text.toUTF8String(utf8);
}

// Whatever the quick reading accepts, ICU's strict parser reads to the same instant: cells ICU
// wrote itself for random instants from 1583 to 9999, and the same cells with one character
// changed (a digit, a separator, one digit more or less).
TEST(NumericDatePattern, ReadsWhatItAcceptsExactlyAsIcuDoes) {
    const std::string patterns[] = {
        "yyyy-MM-dd", "dd.MM.yyyy", "M/d/yyyy",          "yyyy-MM-dd HH:mm:ss", "d.M.yyyy H:mm",
        "HH:mm",      "H:mm:ss",    "yyyyMMdd'T'HHmmss", "yyyy-MM-dd'T'HH:mm",  "dd/MM/yyyy HH:mm",
        "y-M-d"};
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> instants(-12212553600000.0, 253402300799000.0);
    const std::string changes = "0159/:-. T";
    for (const std::string& pattern : patterns) {
        SCOPED_TRACE(pattern);
        const auto quick = NumericDatePattern::compile(pattern);
        ASSERT_TRUE(quick.has_value());
        const auto icu = strictIcuFormat(pattern);
        int accepted = 0;
        for (int i = 0; i < 400; ++i) {
            const double instant = std::floor(instants(random) / 1000.0) * 1000.0;
            std::string cell = icuFormat(*icu, instant);
            if (i % 2 == 1) {
                std::uniform_int_distribution<std::size_t> where(0, cell.size());
                const std::size_t at = where(random);
                const char change = changes[random() % changes.size()];
                switch (random() % 3) {
                    case 0:
                        cell.insert(at, 1, change);
                        break;
                    case 1:
                        if (at < cell.size())
                            cell.erase(at, 1);
                        break;
                    default:
                        if (at < cell.size())
                            cell[at] = change;
                        break;
                }
            }
            SCOPED_TRACE(cell);
            const auto fast = quick->parse(cell);
            if (!fast)
                continue;
            ++accepted;
            EXPECT_EQ(fast, icuParse(*icu, cell));
        }
        EXPECT_GT(accepted, 200);  // the cells ICU wrote are read without it
    }
}

// Patterns that need more than numbers are left to ICU, and so are the cells the quick reading
// cannot be sure of.
TEST(NumericDatePattern, LeavesToIcuWhatItCannotBeSureOf) {
    for (const char* pattern :
         {"yy-MM-dd", "MMM d, yyyy", "h:mm a", "yyyyMd", "Md", "yMMdd", "EEE dd.MM.yyyy",
          "yyyy-MM-dd HH:mm:ss.SSS", "dd 'of' MM yyyy 'unterminated", "", "dd1MM"})
        EXPECT_FALSE(NumericDatePattern::compile(pattern).has_value()) << pattern;

    const auto iso = NumericDatePattern::compile("yyyy-MM-dd");
    ASSERT_TRUE(iso.has_value());
    for (const char* cell : {"1582-10-20", "2021-02-29", "2020-13-01", "2020-1-05", "20200-01-05",
                             "2020-01-05 ", "2020/01/05", ""})
        EXPECT_FALSE(iso->parse(cell).has_value()) << cell;
    EXPECT_EQ(iso->parse("2024-02-29"), 1709164800000.0);

    const auto time = NumericDatePattern::compile("H:mm");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->parse("7:05"), 25500000.0);
    EXPECT_FALSE(time->parse("24:00").has_value());
    EXPECT_FALSE(time->parse("7:60").has_value());
}

}  // namespace
}  // namespace ravelong::csv
