#include "app/ZRUserDefaults2.h"

#include <algorithm>
#include <array>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

namespace {

constexpr std::int64_t kFirstDay = 0;
constexpr std::int64_t kLastDay = 99999999;
constexpr std::int64_t kDefaultBackupCount = 4;
constexpr std::array<std::int64_t, 6> kBackupCounts = {2, 4, 6, 8, 16, 32};
constexpr std::array<std::int64_t, 6> kShowSecondsDurations = {0, 60, 120, 180, 300, 600};

UserDefaults& defaults() {
    return UserDefaults::standard();
}

void writeInteger(std::string_view key, std::int64_t value) {
    defaults().setInteger(key, value);
    (void)defaults().synchronize();
}

void writeBool(std::string_view key, bool value) {
    defaults().setBool(key, value);
    (void)defaults().synchronize();
}

std::optional<std::string> readOptionalString(std::string_view key) {
    // Absent, or of another type, whichever default is asked for comes back.
    std::string value = defaults().stringForKey(key, "\x01");
    if (value != "\x01")
        return value;
    value = defaults().stringForKey(key, "\x02");
    return value == "\x02" ? std::nullopt : std::optional<std::string>(value);
}

void writeOptionalString(std::string_view key, const std::optional<std::string>& value) {
    if (value)
        defaults().setString(key, *value);
    else
        defaults().remove(key);
    (void)defaults().synchronize();
}

// One range's repair; true when it was reset because start > end.
bool fixRange(std::string_view startKey, std::string_view endKey) {
    UserDefaults& d = defaults();
    std::int64_t start = d.integerForKey(startKey, kFirstDay);
    std::int64_t end = d.integerForKey(endKey, kLastDay);
    const std::int64_t storedStart = start;
    const std::int64_t storedEnd = end;
    if (start < kFirstDay)
        start = kFirstDay;
    if (end > kLastDay)
        end = kLastDay;
    const bool reset = start > end;
    if (reset) {
        start = kFirstDay;
        end = kLastDay;
    }
    if (start != storedStart)
        d.setInteger(startKey, start);
    if (end != storedEnd)
        d.setInteger(endKey, end);
    return reset;
}

}  // namespace

std::int64_t ZRUserDefaults2::versionNumber() {
    return defaults().integerForKey(kZRVersion, -1);
}
void ZRUserDefaults2::setVersionNumber(std::int64_t value) {
    writeInteger(kZRVersion, value);
}

std::int64_t ZRUserDefaults2::selectionState() {
    return defaults().integerForKey(kZRSelectionState, 3);
}
void ZRUserDefaults2::setSelectionState(std::int64_t value) {
    writeInteger(kZRSelectionState, value);
}

std::int64_t ZRUserDefaults2::showTasks() {
    return defaults().integerForKey(kZRShowTasks, 2);
}
void ZRUserDefaults2::setShowTasks(std::int64_t value) {
    writeInteger(kZRShowTasks, value);
}

std::int64_t ZRUserDefaults2::customStartDate() {
    return defaults().integerForKey(kZRCustomStartDate, kFirstDay);
}
void ZRUserDefaults2::setCustomStartDate(std::int64_t value) {
    writeInteger(kZRCustomStartDate, value);
}
std::int64_t ZRUserDefaults2::customEndDate() {
    return defaults().integerForKey(kZRCustomEndDate, kLastDay);
}
void ZRUserDefaults2::setCustomEndDate(std::int64_t value) {
    writeInteger(kZRCustomEndDate, value);
}

std::int64_t ZRUserDefaults2::generalStartDate() {
    return defaults().integerForKey(kZRGeneralStartDate, kFirstDay);
}
void ZRUserDefaults2::setGeneralStartDate(std::int64_t value) {
    writeInteger(kZRGeneralStartDate, value);
}
std::int64_t ZRUserDefaults2::generalEndDate() {
    return defaults().integerForKey(kZRGeneralEndDate, kLastDay);
}
void ZRUserDefaults2::setGeneralEndDate(std::int64_t value) {
    writeInteger(kZRGeneralEndDate, value);
}
void ZRUserDefaults2::setGeneralStartAndEndDate(std::int64_t start, std::int64_t end) {
    defaults().setInteger(kZRGeneralStartDate, start);
    defaults().setInteger(kZRGeneralEndDate, end);
    (void)defaults().synchronize();
}

std::int64_t ZRUserDefaults2::timeIntervalDuration() {
    return defaults().integerForKey(kZRTimeIntervalDuration, 2);
}
void ZRUserDefaults2::setTimeIntervalDuration(std::int64_t value) {
    writeInteger(kZRTimeIntervalDuration, value);
}

bool ZRUserDefaults2::todayIsWithinSelectedTimeInterval() {
    const std::int64_t today = date_additions::zrYearMonthDayFromZRDate(
        date_additions::zrDateTodayWithHourCutoff(new_day_hour::current()));
    return today >= generalStartDate() && today <= generalEndDate();
}

bool ZRUserDefaults2::autoBackupEnabled() {
    return defaults().boolForKey(kZRAutoBackupEnabled, true);
}
void ZRUserDefaults2::setAutoBackupEnabled(bool value) {
    writeBool(kZRAutoBackupEnabled, value);
}

std::int64_t ZRUserDefaults2::autoBackupCount() {
    const std::int64_t count = defaults().integerForKey(kZRAutoBackupCount, kDefaultBackupCount);
    return std::find(kBackupCounts.begin(), kBackupCounts.end(), count) != kBackupCounts.end()
               ? count
               : kDefaultBackupCount;
}
void ZRUserDefaults2::setAutoBackupCount(std::int64_t value) {
    writeInteger(kZRAutoBackupCount, value);
}

bool ZRUserDefaults2::openMainWindowAtStart() {
    return defaults().boolForKey(kZROpenMainWindowAtStart, false);
}
void ZRUserDefaults2::setOpenMainWindowAtStart(bool value) {
    writeBool(kZROpenMainWindowAtStart, value);
}

bool ZRUserDefaults2::timingWhenSleeping() {
    return defaults().boolForKey(kZRTimingWhenSleeping, true);
}
void ZRUserDefaults2::setTimingWhenSleeping(bool value) {
    writeBool(kZRTimingWhenSleeping, value);
}

bool ZRUserDefaults2::showTaskNameInStatusIcon() {
    return defaults().boolForKey(kZRShowTaskNameInStatusIcon, true);
}
void ZRUserDefaults2::setShowTaskNameInStatusIcon(bool value) {
    writeBool(kZRShowTaskNameInStatusIcon, value);
}

bool ZRUserDefaults2::didQuitProperly() {
    return defaults().boolForKey(kZRDidQuit, false);
}
void ZRUserDefaults2::setDidQuitProperly(bool value) {
    writeBool(kZRDidQuit, value);
}

std::string ZRUserDefaults2::verticalBarChartMeasuringPeriod() {
    return defaults().stringForKey(kZRVerticalBarChartMeasuringPeriod, std::string(kDaily));
}
void ZRUserDefaults2::setVerticalBarChartMeasuringPeriod(std::string_view value) {
    defaults().setString(kZRVerticalBarChartMeasuringPeriod, value);
    (void)defaults().synchronize();
}

std::optional<std::string> ZRUserDefaults2::selectedTaskInDataSelection() {
    return readOptionalString(kZRSelectedTaskInDataSelection);
}
void ZRUserDefaults2::setSelectedTaskInDataSelection(const std::optional<std::string>& value) {
    writeOptionalString(kZRSelectedTaskInDataSelection, value);
}

std::optional<std::string> ZRUserDefaults2::menuBarSearchTerm() {
    return readOptionalString(kZRMenuBarSearchTerm);
}
void ZRUserDefaults2::setMenuBarSearchTerm(const std::optional<std::string>& value) {
    writeOptionalString(kZRMenuBarSearchTerm, value);
}

bool ZRUserDefaults2::exists() {
    return defaults().exists(kZRShowTasks);
}

bool ZRUserDefaults2::fixUserDefaults() {
    const bool generalReset = fixRange(kZRGeneralStartDate, kZRGeneralEndDate);
    const bool customReset = fixRange(kZRCustomStartDate, kZRCustomEndDate);
    UserDefaults& d = defaults();
    if (d.exists(kZRStatusIconShowSecondsDuration)) {
        const std::int64_t seconds = d.integerForKey(kZRStatusIconShowSecondsDuration, -1);
        if (std::find(kShowSecondsDurations.begin(), kShowSecondsDurations.end(), seconds) ==
            kShowSecondsDurations.end()) {
            d.setInteger(kZRStatusIconShowSecondsDuration, 0);
        }
    }
    (void)d.synchronize();
    return generalReset || customReset;
}

}  // namespace ravelong
