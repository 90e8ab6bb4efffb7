#include "core/calendar/ScopedUserCalendar.h"

#include "core/calendar/TimeZones.h"

namespace ravelong {

ScopedUserCalendar::ScopedUserCalendar(const ZRCalendar& calendar)
    : previous_(ZRCalendar::zrCalendar()) {
    ZRCalendar::setUserCalendar(calendar);
}

ScopedUserCalendar::ScopedUserCalendar(std::string_view timeZoneName, std::string_view localeId)
    : ScopedUserCalendar(ZRCalendar::forLocale(zones::named(timeZoneName), localeId)) {}

ScopedUserCalendar::~ScopedUserCalendar() {
    ZRCalendar::setUserCalendar(previous_);
}

}  // namespace ravelong
