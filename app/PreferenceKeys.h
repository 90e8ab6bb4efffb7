#pragma once

#include <string_view>

#include "core/model/ModelDefaultsKeys.h"
#include "core/timer/TimerTexts.h"

// Keys of this computer's own settings (UserDefaults::standard()). The records' keys
// ("ZRDeviceName", "ZRUserName", "ZRShowTasks", "ZRNumberOfRecentTasks") live with the records in
// core/model/ModelDefaultsKeys.h, the timer's ("ZRIdleTime", "ZRShowAddNoteToTiming") in
// core/timer/TimerTexts.h. Defaults and validation of the most used keys: ZRUserDefaults2.
namespace ravelong {

// Read through ZRUserDefaults2.
inline constexpr std::string_view kZRVersion = "ZRVersion";
// The build of this program that last launched on these settings. Settings without it come from
// elsewhere (a first launch over settings of another program), whose build numbers mean nothing
// here.
inline constexpr std::string_view kRavelongSettingsBuild = "RavelongSettingsBuild";
inline constexpr std::string_view kZRSelectionState = "ZRSelectionState";
inline constexpr std::string_view kZRCustomStartDate = "ZRCustomStartDate";
inline constexpr std::string_view kZRCustomEndDate = "ZRCustomEndDate";
inline constexpr std::string_view kZRGeneralStartDate = "ZRGeneralStartDate";
inline constexpr std::string_view kZRGeneralEndDate = "ZRGeneralEndDate";
inline constexpr std::string_view kZRTimeIntervalDuration = "ZRTimeIntervalDuration";
inline constexpr std::string_view kZRAutoBackupEnabled = "ZRAutoBackupEnabled";
inline constexpr std::string_view kZRAutoBackupCount = "ZRAutoBackupCount";
inline constexpr std::string_view kZROpenMainWindowAtStart = "ZROpenMainWindowAtStart";
inline constexpr std::string_view kZRTimingWhenSleeping = "ZRTimingWhenSleeping";
inline constexpr std::string_view kZRShowTaskNameInStatusIcon = "ZRShowTaskNameInStatusIcon";
inline constexpr std::string_view kZRDidQuit = "ZRDidQuit";
inline constexpr std::string_view kZRVerticalBarChartMeasuringPeriod =
    "ZRVerticalBarChartMeasuringPeriod";
inline constexpr std::string_view kZRSelectedTaskInDataSelection = "ZRSelectedTaskInDataSelection";
inline constexpr std::string_view kZRMenuBarSearchTerm = "ZRMenuBarSearchTerm";

// Process start and launch.
inline constexpr std::string_view kZRSystemVersion = "ZRSystemVersion";
inline constexpr std::string_view kZRFilesInOldDirectory = "ZRFilesInOldDirectory";
inline constexpr std::string_view kZRFilesInNewDirectory = "ZRFilesInNewDirectory";
inline constexpr std::string_view kZRNotMigrated = "ZRNotMigrated";
inline constexpr std::string_view kZRNewDay = "ZRNewDay";  // old local copy of the cut-off hour
inline constexpr std::string_view kNSSystemFontSize = "NSSystemFontSize";
inline constexpr std::string_view kAppleFontSmoothing = "AppleFontSmoothing";

// Menu bar and status item.
inline constexpr std::string_view kZRMenuBarCustomDuration = "ZRMenuBarCustomDuration";
inline constexpr std::string_view kZRStatusIconDuration = "ZRStatusIconDuration";
inline constexpr std::string_view kZRStatusIconShowSecondsDuration =
    "ZRStatusIconShowSecondsDuration";
inline constexpr std::string_view kZRShowTaskDescriptionUnderTaskName =
    "ZRShowTaskDescriptionUnderTaskName";
inline constexpr std::string_view kZRSimpleStatusItemDesign = "ZRSimpleStatusItemDesign";
inline constexpr std::string_view kZRAnimateStatusItem = "ZRAnimateStatusItem";
inline constexpr std::string_view kZRExcludeArchivedTimesInMenuBar =
    "ZRExcludeArchivedTimesInMenuBar";
inline constexpr std::string_view kZRShowTimeInStatusIcon = "ZRShowTimeInStatusIcon";
inline constexpr std::string_view kZRMenuBarTotalTimeInterval = "ZRMenuBarTotalTimeInterval";
inline constexpr std::string_view kZRMenuBarTotalTimeIntervalTwo = "ZRMenuBarTotalTimeIntervalTwo";
inline constexpr std::string_view kZRMenuBarTotalTimeShowSecondField =
    "ZRMenuBarTotalTimeShowSecondField";

// Backups.
inline constexpr std::string_view kZRAutoBackupLocationData = "ZRAutoBackupLocationData";

// Idle time.
inline constexpr std::string_view kZRIdleTimeResolve = "ZRIdleTimeResolve";
inline constexpr std::string_view kZRIdleTimeAssignTask = "ZRIdleTimeAssignTask";

// Statistics window layout.
inline constexpr std::string_view kZRSelectedDataDisplay = "ZRSelectedDataDisplay";
inline constexpr std::string_view kZRDataDisplayHidden = "ZRDataDisplayHidden";
inline constexpr std::string_view kZRDataSelectionWidth = "ZRDataSelectionWidth";
inline constexpr std::string_view kZRDataSelectionHideRounding = "ZRDataSelectionHideRounding";
inline constexpr std::string_view kZRSplitViewPosition = "ZRSplitViewPosition";

// Timed-entries list.
inline constexpr std::string_view kZRCompactTimings = "ZRCompactTimings";
inline constexpr std::string_view kZRTimingsShowNotes = "ZRTimingsShowNotes";
inline constexpr std::string_view kZRTimingsShowRoundedDurations = "ZRTimingsShowRoundedDurations";
inline constexpr std::string_view kZRTimingsRoundDurationsAfterCompact =
    "ZRTimingsRoundDurationsAfterCompact";
inline constexpr std::string_view kZREditTimingsShown = "ZREditTimingsShown";
inline constexpr std::string_view kZRTimedEntriesViewOption = "ZRTimedEntriesViewOption";

// Charts.
inline constexpr std::string_view kZRPieChartViewOption = "ZRPieChartViewOption";
inline constexpr std::string_view kZRPieChartFullTaskName = "ZRPieChartFullTaskName";
inline constexpr std::string_view kZRPieChartHideLegend = "ZRPieChartHideLegend";
inline constexpr std::string_view kZRPieChartDontUseRounding = "ZRPieChartDontUseRounding";
inline constexpr std::string_view kZRPieChartShowSettings = "ZRPieChartShowSettings";
inline constexpr std::string_view kZRLineChartAveragePeriod = "ZRLineChartAveragePeriod";
inline constexpr std::string_view kZRVerticalBarChartBackgroundHighlight =
    "ZRVerticalBarChartBackgroundHighlight";

// CSV import.
inline constexpr std::string_view kZRGenericCSVTokens = "ZRGenericCSVTokens";
inline constexpr std::string_view kZRGenericCSVTokenFormats = "ZRGenericCSVTokenFormats";

// Sync.
inline constexpr std::string_view kZRConnectionState = "ZRConnectionState";
inline constexpr std::string_view kZRLastSync = "ZRLastSync";

// Global hot keys.
inline constexpr std::string_view kZRToggleTimerHotKey = "ZRToggleTimerHotKey";
inline constexpr std::string_view kZRAddNoteHotKey = "ZRAddNoteHotKey";
inline constexpr std::string_view kZRToggleMenuBarPanelHotKey = "ZRToggleMenuBarPanelHotKey";
inline constexpr std::string_view kZRToggleTimerAndAddNoteHotKey = "ZRToggleTimerAndAddNoteHotKey";
inline constexpr std::string_view kZRShowRecentTasksHotKey = "ZRShowRecentTasksHotKey";

// Windows.
inline constexpr std::string_view kNSWindowFrameMainWindow = "NSWindow Frame MainWindow";

}  // namespace ravelong
