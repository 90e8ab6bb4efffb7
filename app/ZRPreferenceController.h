#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "app/LoginItemService.h"
#include "app/ZRPreferenceView.h"
#include "foundation/Error.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

// The actions of the preferences window, without the window: each stores the control's new value
// (local settings in UserDefaults::standard(), synchronized at once; the two synced settings in
// the preferences record of the main context, saved at once) and tells the rest of the program
// through NotificationCenter::defaultCenter() where it needs to know.
//
// The controller does not own its collaborators; they must outlive it. Main thread.
class ZRPreferenceController {
public:
    ZRPreferenceController(ManagedObjectContext& mainContext, LoginItemService& loginItems);

    // The window showing the values (may be nullptr while there is none).
    void setView(ZRPreferenceView* view) { view_ = view; }
    // How the status item recalculates the time it shows (a later part of the program installs
    // it; nothing happens without one).
    void setRecalculateStatusItemTime(std::function<void()> recalculate) {
        recalculateStatusItemTime_ = std::move(recalculate);
    }

    // "ZRMenuBarCustomDuration" = index; posts "MenuBar_customDurationChanged".
    void changeCustomDuration(int index);
    // Posts "MenuBar_showTaskDescriptionUnderTaskNameChanged".
    void toggleShowTaskDescriptionUnderTaskName(bool checked);
    void toggleShowTaskNameInStatusIcon(bool checked);
    // The synced setting, saved through the context's delegate. A failed save is returned (the
    // value stays in the context).
    Status toggleAllowSimultaneousTimers(bool checked);
    // "ZRStatusIconDuration" = index; the seconds menu is usable from index 1 on.
    void changeStatusItemDuration(int index);
    // "ZRStatusIconShowSecondsDuration" = the entry's tag: 0, 60, 120, 180, 300 or 600 seconds.
    // Any other tag is refused (false) and nothing is stored.
    bool changeShowSecondsDuration(int tag);
    // Turns starting at login on or off. On failure an alert says so and the view is set back
    // to what is really in force; the result is whether it worked.
    bool toggleStartAtLogin(bool checked);
    void toggleOpenMainWindowAtStart(bool checked);
    void toggleTimingWhenSleeping(bool checked);
    void toggleSimpleStatusItemDesign(bool checked);
    void toggleAnimateStatusItem(bool checked);
    // "ZRShowAddNoteToTiming" = index; relabels the second hot key.
    void toggleShowAddNoteToTiming(int index);
    // "ZRIdleTime" from the menu index 0...7: off, 5, 10, 15, 20, 30, 45 or 60 minutes (stored
    // in seconds). Any other index is refused (false).
    bool idleTimeChanged(int index);
    // "ZRExcludeArchivedTimesInMenuBar" = not checked; posts "ReloadMenuBarPanelTable" and
    // "MenuBarNeedsToReloadTotalTime", and the status item recalculates its time.
    void toggleIncludeArchivedTimes(bool checked);
    // The rounding switches of the timed entries and the charts (roundingSettingKeys()): stored
    // as given; the views watch them. Any other key is refused (false).
    bool setRoundingSetting(std::string_view key, bool value);
    // "ZRTimingsShowRoundedDurations", "ZRTimingsRoundDurationsAfterCompact",
    // "ZRPieChartDontUseRounding", "ZRBarChartDontUseRounding", "ZRLineChartDontUseRounding".
    static const std::vector<std::string_view>& roundingSettingKeys();
    // "ZRNumberOfRecentTasks" = 10, 15 or 20 for the index 0, 1 or 2; refused (false) otherwise.
    bool changeNumberOfRecentTasks(int index);
    // The day cut-off hour (the index, 0...23) into the synced record; then posts
    // "ReloadMenuBarPanelTable" and "MenuBarNeedsToReloadTotalTime", the status item
    // recalculates, and posts "ZRNewDayChanged". An hour outside 0...23 is refused and nothing
    // is posted; a failed save is returned after the notifications (the value is in force).
    Status newDayChanged(int index);
    // The name entered for this computer or this user, trimmed. A name is stored under
    // "ZRDeviceName" ("ZRUserName") and shown; an empty one removes the key and shows the
    // computer's name (the account's full name). The origins of this device (of this device and
    // user) then take the name in force, and the change is saved; a failed save is returned.
    Status deviceNameChanged(std::string_view text);
    Status userNameChanged(std::string_view text);
    // Shows the synced settings as the record now holds them (after a sync or an undo).
    void reloadCoreDataPreferences();

    // The label of the second hot key for a "ZRShowAddNoteToTiming" index.
    static std::string_view toggleTimerHotKeyLabel(int showAddNoteIndex);

private:
    void recalculateStatusItemTime();

    ManagedObjectContext& context_;
    LoginItemService& loginItems_;
    ZRPreferenceView* view_ = nullptr;
    std::function<void()> recalculateStatusItemTime_;
};

}  // namespace ravelong
