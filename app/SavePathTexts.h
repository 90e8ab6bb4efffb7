#pragma once

#include <string_view>

// Notifications the save path posts when a save changed what a view shows, the fatal save alert
// and the texts of the restricted mode. "MenuBarNeedsToReloadTotalTime" is in AppStrings.h,
// "ZRRoundingModified" in TotalsTexts.h.
namespace ravelong {

inline constexpr std::string_view kZRTaskNameDidChange = "ZRTaskNameDidChange";
// Posted after every save of the save path that wrote changes (synchronisation follows it).
inline constexpr std::string_view kRavelongChangesSaved = "RavelongChangesSaved";
inline constexpr std::string_view kZRRedrawDatePicker = "ZRRedrawDatePicker";
inline constexpr std::string_view kZRRedrawDataDisplay = "ZRRedrawDataDisplay";
inline constexpr std::string_view kZRTaskColorChangedNotification =
    "ZRTaskColorChangedNotification";
inline constexpr std::string_view kZRReloadTimingNotes = "ZRReloadTimingNotes";
inline constexpr std::string_view kZRRearrangeTaskArrays = "ZRRearrangeTaskArrays";
inline constexpr std::string_view kZRTimingDeleted = "ZRTimingDeleted";
inline constexpr std::string_view kZRUpdateAddNotePanelPopupButton =
    "ZRUpdateAddNotePanelPopupButton";
inline constexpr std::string_view kConsideredTasksChanged = "ConsideredTasksChanged";

// Where users send the details of a failed save.
inline constexpr std::string_view kSupportAddress = "support@ravelong.app";

inline constexpr std::string_view kThereWasAProblemSaving =
    "There was a problem saving to the database.";
// Followed by the support address and kFatalSaveInformativeEnd.
inline constexpr std::string_view kFatalSaveInformativeStart =
    "Don't worry it's not your fault! \n\nBefore you restart Ravelong, please send the error "
    "information below to ";
inline constexpr std::string_view kFatalSaveInformativeEnd = ". Thank you!";
inline constexpr std::string_view kUnresolvedError = "Unresolved error %@, %@";

// A save that has to wait: another program holds the data file, or its disk is full. The error's
// own text (which program, which folder) follows the message; the change stays in memory and is
// saved again.
inline constexpr std::string_view kStoreBusyMessage =
    "Ravelong cannot save your changes while another program is using its data file.";
inline constexpr std::string_view kStoreBusyAdvice =
    "Your changes are kept, and Ravelong saves them again as soon as the other program lets go "
    "of the file.";
inline constexpr std::string_view kDiskFullMessage =
    "Ravelong cannot save your changes because the disk is full.";
inline constexpr std::string_view kDiskFullAdvice =
    "Your changes are kept, and Ravelong saves them again as soon as there is room. Free some "
    "space on the disk that holds your data.";
inline constexpr std::string_view kStoreNotWritableMessage =
    "Ravelong cannot save your changes because its data file cannot be written.";
inline constexpr std::string_view kStoreNotWritableAdvice =
    "Your changes are kept while Ravelong runs, and it tries to save them again every minute. "
    "Make the data file and its folder writable to keep them.";

// The settings folder cannot be written (told once a run).
inline constexpr std::string_view kSettingsCannotBeSaved = "Ravelong cannot save its settings.";
inline constexpr std::string_view kSettingsLastUntilQuit =
    "Changes to the settings last only until Ravelong quits. Make the settings folder writable "
    "again to keep them.";

// Logged at the end of a session when changes could not be saved.
inline constexpr std::string_view kUnsavedAtExit =
    "quitting without saving %@ changed records (the data file keeps its last saved state): %@";

// The restricted mode's window: mode 1 (the calendar changed while running), otherwise.
inline constexpr std::string_view kRestrictedModeAgainText =
    "Ravelong will become fully functional again after you switch back to the Gregorian calendar "
    "in your desktop's Region & Language settings.";
inline constexpr std::string_view kRestrictedModeText =
    "Ravelong will become fully functional after you switch to the Gregorian calendar in your "
    "desktop's Region & Language settings.";

}  // namespace ravelong
