#include "app/ZRPreferenceController.h"

#include <algorithm>
#include <array>

#include "app/AppStrings.h"
#include "app/OriginNames.h"
#include "app/PreferenceKeys.h"
#include "app/ZRUserDefaults2.h"
#include "core/model/ContextSaving.h"
#include "core/model/ModelError.h"
#include "core/model/ZRCDPreferences.h"
#include "core/services/DeviceIdentity.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

namespace {

constexpr std::array<int, 8> kIdleTimes = {0, 300, 600, 900, 1200, 1800, 2700, 3600};
constexpr std::array<int, 3> kRecentTaskCounts = {10, 15, 20};
constexpr std::array<int, 6> kShowSecondsDurations = {0, 60, 120, 180, 300, 600};

void storeInteger(std::string_view key, std::int64_t value) {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setInteger(key, value);
    (void)defaults.synchronize();
}

void storeBool(std::string_view key, bool value) {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setBool(key, value);
    (void)defaults.synchronize();
}

void post(std::string_view name) {
    NotificationCenter::defaultCenter().post(std::string(name));
}

// Stores or removes a name setting; the name now in force.
std::string storeName(std::string_view key, std::string_view text, const std::string& fallback) {
    const std::string name = origin_names::trimmedName(text);
    UserDefaults& defaults = UserDefaults::standard();
    if (name.empty())
        defaults.remove(key);
    else
        defaults.setString(key, name);
    (void)defaults.synchronize();
    return name.empty() ? fallback : name;
}

Status saveRenamedOrigins(ManagedObjectContext& context, std::size_t changed) {
    if (changed == 0)
        return Status::success();
    context.processPendingChanges();
    return saveThroughDelegate(context);
}

}  // namespace

ZRPreferenceController::ZRPreferenceController(ManagedObjectContext& mainContext,
                                               LoginItemService& loginItems)
    : context_(mainContext), loginItems_(loginItems) {}

void ZRPreferenceController::recalculateStatusItemTime() {
    if (recalculateStatusItemTime_)
        recalculateStatusItemTime_();
}

void ZRPreferenceController::changeCustomDuration(int index) {
    storeInteger(kZRMenuBarCustomDuration, index);
    post(kMenuBarCustomDurationChanged);
}

void ZRPreferenceController::toggleShowTaskDescriptionUnderTaskName(bool checked) {
    storeBool(kZRShowTaskDescriptionUnderTaskName, checked);
    post(kMenuBarShowTaskDescriptionUnderTaskNameChanged);
}

void ZRPreferenceController::toggleShowTaskNameInStatusIcon(bool checked) {
    ZRUserDefaults2::setShowTaskNameInStatusIcon(checked);
}

Status ZRPreferenceController::toggleAllowSimultaneousTimers(bool checked) {
    return ZRCDPreferences::setAllowMultipleTimersTo(checked, context_);
}

void ZRPreferenceController::changeStatusItemDuration(int index) {
    storeInteger(kZRStatusIconDuration, index);
    if (view_)
        view_->setShowSecondsDurationEnabled(index >= 1);
}

bool ZRPreferenceController::changeShowSecondsDuration(int tag) {
    if (std::find(kShowSecondsDurations.begin(), kShowSecondsDurations.end(), tag) ==
        kShowSecondsDurations.end()) {
        logWarning("preferences", "refused " + std::to_string(tag) +
                                      " seconds as the time to show seconds in the status item");
        return false;
    }
    storeInteger(kZRStatusIconShowSecondsDuration, tag);
    return true;
}

bool ZRPreferenceController::toggleStartAtLogin(bool checked) {
    Status changed = loginItems_.setEnabled(checked);
    if (changed)
        return true;
    logError("start at login", changed.error().description + " " + changed.error().failureReason);
    Alert alert;
    alert.messageText = std::string(kAnErrorOccurred);
    alert.informativeText = std::string(checked ? kCouldNotAddToStartupApplications
                                                : kCouldNotRemoveFromStartupApplications);
    alert.buttons = {std::string(kOK)};
    (void)AlertPresenter::current().runModal(alert);
    if (view_)
        view_->showStartAtLogin(loginItems_.isEnabled());
    return false;
}

void ZRPreferenceController::toggleOpenMainWindowAtStart(bool checked) {
    ZRUserDefaults2::setOpenMainWindowAtStart(checked);
}

void ZRPreferenceController::toggleTimingWhenSleeping(bool checked) {
    ZRUserDefaults2::setTimingWhenSleeping(checked);
}

void ZRPreferenceController::toggleSimpleStatusItemDesign(bool checked) {
    storeBool(kZRSimpleStatusItemDesign, checked);
}

void ZRPreferenceController::toggleAnimateStatusItem(bool checked) {
    storeBool(kZRAnimateStatusItem, checked);
}

std::string_view ZRPreferenceController::toggleTimerHotKeyLabel(int showAddNoteIndex) {
    return showAddNoteIndex != 0 ? kToggleTimerDoNotShowAddNote : kToggleTimerAndShowAddNote;
}

void ZRPreferenceController::toggleShowAddNoteToTiming(int index) {
    storeInteger(kZRShowAddNoteToTiming, index);
    if (view_)
        view_->setToggleTimerHotKeyLabel(toggleTimerHotKeyLabel(index));
}

bool ZRPreferenceController::idleTimeChanged(int index) {
    if (index < 0 || index >= static_cast<int>(kIdleTimes.size())) {
        logWarning("preferences", "refused idle time menu entry " + std::to_string(index));
        return false;
    }
    storeInteger(kZRIdleTime, kIdleTimes[static_cast<std::size_t>(index)]);
    return true;
}

void ZRPreferenceController::toggleIncludeArchivedTimes(bool checked) {
    storeBool(kZRExcludeArchivedTimesInMenuBar, !checked);
    post(kReloadMenuBarPanelTable);
    post(kMenuBarNeedsToReloadTotalTime);
    recalculateStatusItemTime();
}

const std::vector<std::string_view>& ZRPreferenceController::roundingSettingKeys() {
    static const std::vector<std::string_view> keys = {
        kZRTimingsShowRoundedDurations, kZRTimingsRoundDurationsAfterCompact,
        kZRPieChartDontUseRounding, "ZRBarChartDontUseRounding", "ZRLineChartDontUseRounding"};
    return keys;
}

bool ZRPreferenceController::setRoundingSetting(std::string_view key, bool value) {
    const auto& keys = roundingSettingKeys();
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
        logWarning("preferences", "refused rounding setting " + std::string(key));
        return false;
    }
    storeBool(key, value);
    return true;
}

bool ZRPreferenceController::changeNumberOfRecentTasks(int index) {
    if (index < 0 || index >= static_cast<int>(kRecentTaskCounts.size())) {
        logWarning("preferences", "refused recent tasks menu entry " + std::to_string(index));
        return false;
    }
    storeInteger(kZRNumberOfRecentTasks, kRecentTaskCounts[static_cast<std::size_t>(index)]);
    return true;
}

Status ZRPreferenceController::newDayChanged(int index) {
    Status saved = ZRCDPreferences::setNewDayTo(index, context_);
    if (!saved && saved.error().domain == kRavelongErrorDomain &&
        saved.error().code == static_cast<int>(ModelErrorCode::NewDayHourOutOfRange)) {
        return saved;
    }
    post(kReloadMenuBarPanelTable);
    post(kMenuBarNeedsToReloadTotalTime);
    recalculateStatusItemTime();
    post(kZRNewDayChanged);
    return saved;
}

Status ZRPreferenceController::deviceNameChanged(std::string_view text) {
    const std::string shown =
        storeName(kZRDeviceName, text, DeviceIdentity::current().hostLocalizedName());
    if (view_)
        view_->showDeviceName(shown);
    return saveRenamedOrigins(context_, origin_names::applyDeviceNameToOrigins(context_));
}

Status ZRPreferenceController::userNameChanged(std::string_view text) {
    const std::string shown =
        storeName(kZRUserName, text, DeviceIdentity::current().fullUserName());
    if (view_)
        view_->showUserName(shown);
    return saveRenamedOrigins(context_, origin_names::applyUserNameToOrigins(context_));
}

void ZRPreferenceController::reloadCoreDataPreferences() {
    if (!view_)
        return;
    ZRCDPreferences* preferences = ZRCDPreferences::getPreferences_inContext(context_);
    view_->showAllowSimultaneousTimers(preferences->allowMultipleTimers());
    view_->showNewDay(std::clamp(preferences->newDay(), 0, 23));
}

}  // namespace ravelong
