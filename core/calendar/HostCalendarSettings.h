#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/calendar/ZoneRules.h"

// Reading the desktop's time zone and locale the way other Linux programs do. The sources are
// parameters so tests can supply their own environment and files.
namespace ravelong::host_calendar {

struct Sources {
    // Returns the value of an environment variable, or nothing when it is not set.
    std::function<std::optional<std::string>(const char* name)> environment;
    std::string localtimePath = "/etc/localtime";
    std::string timezonePath = "/etc/timezone";

    // The real environment and files.
    static Sources system();
};

// The ICU locale for a POSIX locale name: "de_DE.UTF-8" -> "de_DE", "sr_RS@latin" ->
// "sr_Latn_RS", "C" or "POSIX" or "" -> "en_US_POSIX".
std::string icuLocaleIdFromPosix(std::string_view posixLocale);

// The locale that governs dates: LC_ALL, else LC_TIME, else LANG (the first that is set and not
// empty), as an ICU locale id.
std::string hostLocaleId(const Sources& sources);

// The user's time zone. TZ wins when set: "Europe/Berlin", ":Europe/Berlin", a path into the
// zoneinfo folder or a rule ("CET-1CEST,M3.5.0,M10.5.0/3", "<+03>-3"); an empty TZ means UTC, as
// for the C library. A TZ that is none of these is logged and the system zone used instead: the
// /etc/localtime link, then /etc/timezone, then ICU's own detection, and GMT (logged) when all
// fail. Never null.
ZoneRef hostTimeZone(const Sources& sources);

}  // namespace ravelong::host_calendar
