#include "exchange/csv/CsvExportFileName.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>

#include <memory>

#include "core/calendar/DayNumbers.h"

namespace ravelong::csv {
namespace {

// A day in the locale's own layout of the fields of `skeleton` ("MMMdyyyy" is "May 1, 2024" in
// English and "1. Mai 2024" in German).
std::string dayText(Instant noon, const char16_t* skeleton, const ZRCalendar& calendar) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(calendar.localeId().c_str());
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status))
        return {};
    const icu::UnicodeString pattern = generator->getBestPattern(skeleton, status);
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status))
        return {};
    format.setTimeZone(calendar.timeZone().icuZone());
    icu::UnicodeString text;
    format.format((noon + kSecondsFromUnixEpochToReferenceDate) * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool longDateBeginsWithDigit(const ZRCalendar& calendar) {
    std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateInstance(
        icu::DateFormat::kLong, icu::Locale(calendar.localeId().c_str())));
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
    if (!simple)
        return false;
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    return pattern.length() > 0 && pattern.charAt(0) == u'd';
}

}  // namespace

std::string getFileNameString(ZRYearMonthDay start, ZRYearMonthDay end,
                              const ZRCalendar& calendar) {
    if (start == 0 && end == 99999999)
        return "Ravelong Export (all time)";
    const Instant first = date_additions::noonOfDayFromZRYearMonthDay(start);
    const Instant last = date_additions::noonOfDayFromZRYearMonthDay(end);
    std::string range;
    if (start / 10000 != end / 10000) {
        range =
            dayText(first, u"MMMdyyyy", calendar) + " - " + dayText(last, u"MMMdyyyy", calendar);
    } else if (start / 100 != end / 100) {
        range = dayText(first, u"MMMd", calendar) + " - " + dayText(last, u"MMMdyyyy", calendar);
    } else if (start != end) {
        if (longDateBeginsWithDigit(calendar)) {
            const std::string to = dayText(last, u"MMMdyyyy", calendar);
            range = dayText(first, u"d", calendar) +
                    (to.find('.') != std::string::npos ? ".-" : "-") + to;
        } else {
            range = dayText(first, u"MMMd", calendar) + "-" + dayText(last, u"d", calendar) + ", " +
                    dayText(last, u"yyyy", calendar);
        }
    } else {
        range = dayText(last, u"MMMdyyyy", calendar);
    }
    return "Ravelong Export (" + (range.empty() ? std::string("Untitled") : range) + ")";
}

}  // namespace ravelong::csv
