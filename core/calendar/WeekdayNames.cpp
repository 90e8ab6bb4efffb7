#include "core/calendar/WeekdayNames.h"

#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>

#include "core/calendar/IcuSupport.h"
#include "core/calendar/ZRCalendar.h"

namespace ravelong::zr_calendar {

namespace {

std::string localizedWeekday(int weekday, icu::DateFormatSymbols::DtWidthType width) {
    if (weekday < 1 || weekday > 7) {
        return "";
    }
    const std::string localeId = ZRCalendar::zrCalendar().localeId();
    const auto symbols = icu_support::perThread<icu::DateFormatSymbols>(
        "weekday-symbols|" + localeId, [&]() -> std::shared_ptr<icu::DateFormatSymbols> {
            UErrorCode status = U_ZERO_ERROR;
            auto made =
                std::make_shared<icu::DateFormatSymbols>(icu::Locale(localeId.c_str()), status);
            return U_SUCCESS(status) ? made : nullptr;
        });
    if (!symbols) {
        return "";
    }
    int32_t count = 0;
    // ICU's weekday arrays have an unused slot 0 and Sunday at 1, matching our numbering.
    const icu::UnicodeString* names =
        symbols->getWeekdays(count, icu::DateFormatSymbols::FORMAT, width);
    return weekday < count ? icu_support::toUtf8(names[weekday]) : "";
}

}  // namespace

std::string getEnglishWeekdayStringFromInteger(int weekday) {
    static constexpr const char* kNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
    return weekday >= 1 && weekday <= 7 ? kNames[weekday - 1] : "";
}

std::string veryShortLocalizedWeekdayStringForWeekday(int weekday) {
    return localizedWeekday(weekday, icu::DateFormatSymbols::NARROW);
}

std::string shortLocalizedWeekdayStringForWeekday(int weekday) {
    return localizedWeekday(weekday, icu::DateFormatSymbols::ABBREVIATED);
}

std::string fullLocalizedWeekdayStringForWeekday(int weekday) {
    return localizedWeekday(weekday, icu::DateFormatSymbols::WIDE);
}

}  // namespace ravelong::zr_calendar
