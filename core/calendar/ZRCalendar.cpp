#include "core/calendar/ZRCalendar.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <atomic>
#include <cfloat>
#include <mutex>

#include "core/calendar/CivilDays.h"
#include "core/calendar/HostCalendarSettings.h"
#include "core/calendar/InstantSeconds.h"
#include "core/calendar/TimeZones.h"
#include "foundation/Log.h"

namespace ravelong {

namespace {

std::atomic<uint64_t> gNextIdentity{1};

constexpr const char* kNeutralLocale = "en_US_POSIX";

struct WeekRules {
    int firstWeekday = kSunday;
    int minimalDays = 1;
};

WeekRules weekRulesOf(const icu::Locale& locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), locale, status));
    if (U_FAILURE(status) || !calendar) {
        return {};
    }
    return {static_cast<int>(calendar->getFirstDayOfWeek()),
            static_cast<int>(calendar->getMinimalDaysInFirstWeek())};
}

bool isUsableLocale(std::string_view localeId) {
    if (localeId.empty() || localeId.size() > 100) {
        return false;
    }
    const icu::Locale locale(std::string(localeId).c_str());
    return !locale.isBogus() && locale.getLanguage()[0] != '\0';
}

Error settingError(std::string description) {
    return Error{kRavelongErrorDomain, 1, std::move(description), {}};
}

// The process-wide user calendar. Held behind a mutex rather than an atomic shared_ptr so that
// the first reader can fill it from the environment while others wait.
struct UserSlot {
    std::mutex mutex;
    std::shared_ptr<const ZRCalendar> calendar;
};

UserSlot& userSlot() {
    static UserSlot* slot = new UserSlot();  // never destroyed: worker threads may outlive main
    return *slot;
}

ZRCalendar calendarFromEnvironment() {
    const auto sources = host_calendar::Sources::system();
    std::string localeId = host_calendar::hostLocaleId(sources);
    if (!isUsableLocale(localeId)) {
        logWarning("locale", "locale \"" + localeId + "\" is unusable; using " + kNeutralLocale);
        localeId = kNeutralLocale;
    }
    return ZRCalendar::forLocale(host_calendar::hostTimeZone(sources), localeId);
}

std::shared_ptr<const ZRCalendar> currentUserCalendar() {
    UserSlot& slot = userSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.calendar) {
        slot.calendar = std::make_shared<const ZRCalendar>(calendarFromEnvironment());
    }
    return slot.calendar;
}

void replaceUserCalendar(ZRCalendar calendar) {
    auto replacement = std::make_shared<const ZRCalendar>(std::move(calendar));
    UserSlot& slot = userSlot();
    std::lock_guard lock(slot.mutex);
    slot.calendar = std::move(replacement);
}

}  // namespace

ZRCalendar::ZRCalendar(ZoneRef zone, std::string localeId, int firstWeekday,
                       int minimalDaysInFirstWeek) {
    auto state = std::make_shared<State>();
    state->zone = zone ? std::move(zone) : zones::gmt();
    state->localeId = std::move(localeId);
    state->firstWeekday = firstWeekday >= 1 && firstWeekday <= 7 ? firstWeekday : kSunday;
    state->minimalDays =
        minimalDaysInFirstWeek >= 1 && minimalDaysInFirstWeek <= 7 ? minimalDaysInFirstWeek : 1;
    state->identity = gNextIdentity.fetch_add(1);
    state_ = std::move(state);
}

ZRCalendar ZRCalendar::forLocale(ZoneRef zone, std::string_view localeId) {
    std::string id(localeId);
    const WeekRules rules = weekRulesOf(icu::Locale(id.c_str()));
    return ZRCalendar(std::move(zone), std::move(id), rules.firstWeekday, rules.minimalDays);
}

ZRCalendar ZRCalendar::zrCalendar() {
    return *currentUserCalendar();
}

ZRCalendar ZRCalendar::defaultGregorian(std::string_view timeZoneName) {
    return defaultGregorian(zones::named(timeZoneName));
}

ZRCalendar ZRCalendar::defaultGregorian(ZoneRef zone) {
    return ZRCalendar(std::move(zone), kNeutralLocale, kSunday, 1);
}

void ZRCalendar::refreshUserCalendarFromEnvironment() {
    replaceUserCalendar(calendarFromEnvironment());
}

Status ZRCalendar::setUserTimeZone(std::string_view timeZoneName) {
    const auto zone = zones::lookUp(timeZoneName);
    if (!zone) {
        return settingError("\"" + std::string(timeZoneName) + "\" is not a known time zone.");
    }
    // Read, build and replace under one lock so that two setters cannot undo each other.
    UserSlot& slot = userSlot();
    const ZRCalendar current = zrCalendar();
    std::lock_guard lock(slot.mutex);
    const ZRCalendar& base = slot.calendar ? *slot.calendar : current;
    slot.calendar = std::make_shared<const ZRCalendar>(
        ZRCalendar(*zone, base.localeId(), base.firstWeekday(), base.minimalDaysInFirstWeek()));
    return Status::success();
}

Status ZRCalendar::setUserLocale(std::string_view localeId) {
    if (!isUsableLocale(localeId)) {
        return settingError("\"" + std::string(localeId) + "\" is not a usable locale.");
    }
    UserSlot& slot = userSlot();
    const ZRCalendar current = zrCalendar();
    ZRCalendar localized = forLocale(current.timeZoneRef(), localeId);
    std::lock_guard lock(slot.mutex);
    const ZRCalendar& base = slot.calendar ? *slot.calendar : current;
    slot.calendar = std::make_shared<const ZRCalendar>(
        ZRCalendar(base.timeZoneRef(), localized.localeId(), localized.firstWeekday(),
                   localized.minimalDaysInFirstWeek()));
    return Status::success();
}

Status ZRCalendar::setUserFirstWeekday(int weekday) {
    if (weekday < 1 || weekday > 7) {
        return settingError("The first day of the week must be a weekday from 1 to 7.");
    }
    UserSlot& slot = userSlot();
    const ZRCalendar current = zrCalendar();
    std::lock_guard lock(slot.mutex);
    const ZRCalendar& base = slot.calendar ? *slot.calendar : current;
    slot.calendar = std::make_shared<const ZRCalendar>(
        ZRCalendar(base.timeZoneRef(), base.localeId(), weekday, base.minimalDaysInFirstWeek()));
    return Status::success();
}

void ZRCalendar::setUserCalendar(const ZRCalendar& calendar) {
    replaceUserCalendar(calendar);
}

ZRCalendar::LocalTime ZRCalendar::localTime(Instant instant) const {
    const auto seconds = instant_seconds::split(instant);
    LocalTime local;
    local.offset = state_->zone->offsetAt(seconds.whole);
    const int64_t wall = seconds.whole + local.offset;
    local.days = civil::floorDiv(wall, kSecondsPerDay);
    local.secondOfDay = static_cast<int32_t>(wall - local.days * kSecondsPerDay);
    local.fraction = seconds.fraction;
    return local;
}

DateComponents ZRCalendar::components(Instant instant) const {
    const LocalTime local = localTime(instant);
    const YearMonthDay date = civil::civilFromDays(local.days);
    DateComponents components;
    components.year = date.year;
    components.month = date.month;
    components.day = date.day;
    components.hour = local.secondOfDay / 3600;
    components.minute = local.secondOfDay / 60 % 60;
    components.second = local.secondOfDay % 60;
    components.weekday = civil::weekdayFromDays(local.days);
    return components;
}

Instant ZRCalendar::instantFromLocal(int64_t days, int64_t secondsIntoDay) const {
    return instant_seconds::toInstant(
        state_->zone->unixSecondsFromLocal(days * kSecondsPerDay + secondsIntoDay));
}

Instant ZRCalendar::instantFromLocal(int64_t days, int64_t secondsIntoDay,
                                     int32_t preferredOffset) const {
    return instant_seconds::toInstant(state_->zone->unixSecondsFromLocal(
        days * kSecondsPerDay + secondsIntoDay, preferredOffset));
}

std::unique_ptr<icu::Calendar> ZRCalendar::makeIcuCalendar() const {
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(
        state_->zone->icuZone().clone(), icu::Locale(state_->localeId.c_str()), status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        calendar = std::make_unique<icu::GregorianCalendar>(state_->zone->icuZone().clone(),
                                                            icu::Locale::getRoot(), status);
    }
    calendar->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(state_->firstWeekday));
    calendar->setMinimalDaysInFirstWeek(static_cast<uint8_t>(state_->minimalDays));
    status = U_ZERO_ERROR;
    calendar->setGregorianChange(-DBL_MAX, status);
    return calendar;
}

}  // namespace ravelong
