#include "app/CalendarIdentifier.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>

#include <cstdlib>
#include <memory>
#include <utility>

#include "core/calendar/HostCalendarSettings.h"

namespace ravelong {

namespace {

std::optional<std::string>& overriddenIdentifier() {
    static std::optional<std::string> identifier;
    return identifier;
}

// The locale variable that governs dates, as it stands ("th_TH.UTF-8", "ja_JP@calendar=japanese").
std::string governingLocaleVariable() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

// The "@calendar=..." keyword of a locale name, if it has one. POSIX names carry modifiers after
// "@" too ("sr_RS@latin"); only this one chooses a calendar.
std::string calendarKeyword(const std::string& posixName) {
    const auto at = posixName.find('@');
    if (at == std::string::npos)
        return {};
    constexpr std::string_view kKey = "calendar=";
    std::string_view modifiers(posixName);
    modifiers.remove_prefix(at + 1);
    const auto key = modifiers.find(kKey);
    if (key == std::string_view::npos)
        return {};
    std::string_view value = modifiers.substr(key + kKey.size());
    value = value.substr(0, value.find_first_of(";@."));
    return std::string(value);
}

}  // namespace

std::string currentCalendarIdentifier() {
    if (overriddenIdentifier())
        return *overriddenIdentifier();

    const std::string posixName = governingLocaleVariable();
    std::string localeId = host_calendar::icuLocaleIdFromPosix(posixName);
    if (const std::string calendar = calendarKeyword(posixName); !calendar.empty())
        localeId += "@calendar=" + calendar;

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::Locale::createCanonical(localeId.c_str()), status));
    if (U_FAILURE(status) || !calendar || !calendar->getType())
        return "gregorian";  // what ICU itself falls back to for a locale it does not know
    return calendar->getType();
}

bool currentCalendarIsGregorian() {
    return currentCalendarIdentifier() == "gregorian";
}

ScopedCalendarIdentifier::ScopedCalendarIdentifier(std::string identifier)
    : previous_(std::exchange(overriddenIdentifier(), std::move(identifier))) {}

ScopedCalendarIdentifier::~ScopedCalendarIdentifier() {
    overriddenIdentifier() = std::move(previous_);
}

}  // namespace ravelong
