#include "core/calendar/CalendarTestSupport.h"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

namespace ravelong::testing {

namespace {

std::unique_ptr<icu::GregorianCalendar> referenceCalendar(std::string_view zone) {
    UErrorCode status = U_ZERO_ERROR;
    const auto id = icu::UnicodeString::fromUTF8(icu::StringPiece(zone.data(), zone.size()));
    auto calendar = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::createTimeZone(id),
                                                             icu::Locale::getRoot(), status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("no ICU calendar for " + std::string(zone));
    }
    return calendar;
}

}  // namespace

Instant wallTime(std::string_view zone, int year, int month, int day, int hour, int minute,
                 int second, bool laterOccurrence) {
    auto calendar = referenceCalendar(zone);
    calendar->setRepeatedWallTimeOption(laterOccurrence ? UCAL_WALLTIME_LAST : UCAL_WALLTIME_FIRST);
    calendar->clear();
    calendar->set(year, month - 1, day, hour, minute, second);
    UErrorCode status = U_ZERO_ERROR;
    const double millis = calendar->getTime(status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU cannot place the wall time");
    }
    return instantFromUnixTime(millis / 1000.0);
}

ZRDate dayNumber(int year, int month, int day) {
    auto calendar = referenceCalendar("GMT");
    calendar->clear();
    calendar->set(year, month - 1, day, 12, 0, 0);
    UErrorCode status = U_ZERO_ERROR;
    // Julian day 2440588 is 1970-01-01.
    return calendar->get(UCAL_JULIAN_DAY, status) - 2440588;
}

ScopedZoneVariable::ScopedZoneVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name))
        saved_ = old;
    setenv(name, value.c_str(), 1);
    tzset();
}

ScopedZoneVariable::~ScopedZoneVariable() {
    saved_ ? setenv(name_, saved_->c_str(), 1) : unsetenv(name_);
    tzset();
}

std::int32_t CLibraryZone::offsetAt(std::int64_t unixSeconds) {
    const time_t time = static_cast<time_t>(unixSeconds);
    struct tm local {};
    localtime_r(&time, &local);
    return static_cast<std::int32_t>(local.tm_gmtoff);
}

}  // namespace ravelong::testing
