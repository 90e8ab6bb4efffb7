#pragma once

#include <string_view>

#include "core/calendar/ZRCalendar.h"

namespace ravelong {

// Installs a user calendar for the lifetime of this object and puts the previous one back after,
// without touching TZ or LANG. For tests and previews; the slot is process-wide, so two scoped
// calendars on different threads at once would overwrite each other.
class ScopedUserCalendar {
public:
    explicit ScopedUserCalendar(const ZRCalendar& calendar);
    // A zone ICU knows and a locale, with the locale's first weekday; an unknown zone counts as
    // GMT (with a logged warning).
    ScopedUserCalendar(std::string_view timeZoneName, std::string_view localeId);
    ~ScopedUserCalendar();
    ScopedUserCalendar(const ScopedUserCalendar&) = delete;
    ScopedUserCalendar& operator=(const ScopedUserCalendar&) = delete;

private:
    ZRCalendar previous_;
};

}  // namespace ravelong
