#pragma once

#include <string_view>

// Texts and names of the launch, the quit and the process start. The application's name, the
// folder and store names and "MenuBarNeedsToReloadTotalTime" are in app/AppStrings.h.
namespace ravelong::launch_texts {

// Version gate.
inline constexpr std::string_view kOutdatedVersion =
    "You are running an outdated version of Ravelong.";
inline constexpr std::string_view kUseLatestVersion = "Please use the latest version available.";
inline constexpr std::string_view kQuit = "Quit";

// Data-directory move.
inline constexpr std::string_view kCurrentStoreNamePart = "RavelongDB";
inline constexpr std::string_view kNumberedStoreName = "Ravelong%ld.sqlite";
inline constexpr std::string_view kStoreNameInsertion = "DB";
inline constexpr std::string_view kMovedMarkerFileName = "5000.txt";
inline constexpr std::string_view kProblemUpdating = "There was a problem updating: %@";

// Old texts of "ZRMenuBarCustomDuration" (the last with two trailing blanks).
inline constexpr std::string_view kThisWeek = "this week";
inline constexpr std::string_view kThisMonth = "this month";
inline constexpr std::string_view kThisYear = "this year  ";

// Store opening: a data file that is empty although Ravelong ran before, and a data file that
// may not be written.
inline constexpr std::string_view kDataFileIsEmpty = "Your Ravelong data file %@ is empty.";
inline constexpr std::string_view kDataFileIsEmptyInfo =
    "Ravelong has run on this computer before, so your tasks and timings should be in this file; "
    "it may have been lost or overwritten. Quit now to restore it from a backup, or start with a "
    "new, empty data file. The empty file is kept as %@.";
inline constexpr std::string_view kNewestAutomaticBackup =
    "Your newest automatic backup is %@. Quit and restore it with \"ravelong-cli restore\", or "
    "start with a new data file and restore it in Preferences > Backups.";
inline constexpr std::string_view kStartWithNewDataFile = "Start with a New Data File";
inline constexpr std::string_view kOpenReadOnlyOffer =
    "You can open the data file read-only to look at your data; changes will not be saved.";
inline constexpr std::string_view kOpenReadOnly = "Open Read-Only";

// Legacy upgrade.
inline constexpr std::string_view kDatabaseUpdateText =
    "This is necessary only once after upgrading from Ravelong v1.2.4 or lower to v1.3 or higher. "
    "Please be patient.";

// Crash check.
inline constexpr std::string_view kCrashedWhileTimerRunning =
    "It appears that Ravelong has crashed while the timer was running.";
inline constexpr std::string_view kTimerStartedAgo =
    "The timer for the task \"%@\" was started %ld minutes and %ld seconds ago.\n\nDo you want to "
    "stop the timer now and add the appropriate timing?";
// A running timing whose start lies ahead of the clock (the clock was set back): asked about like
// one left by a crash, never dropped unasked.
inline constexpr std::string_view kTimerStartsInTheFuture =
    "The timer for the task \"%@\" starts %ld minutes and %ld seconds after the time the "
    "computer's clock shows now; the clock may have been set back.\n\nDo you want to stop the "
    "timer now? \"Cancel\" keeps it running.";
inline constexpr std::string_view kAddTiming = "Add timing";
inline constexpr std::string_view kCrashedWhileTimersRunning =
    "It appears that Ravelong has crashed while timers were running.";
inline constexpr std::string_view kStopTimersNow =
    "Do you want to stop the timers now and add the appropriate timings?";
inline constexpr std::string_view kAddTimings = "Add timings";
inline constexpr std::string_view kCancel = "Cancel";

// Quit decision.
inline constexpr std::string_view kATimerIsRunning = "A timer is running.";
inline constexpr std::string_view kDoYouWantToStopIt = "Do you want to stop it?";
inline constexpr std::string_view kTwoTimersRunning = "There are two timers running.";
inline constexpr std::string_view kTimersRunning = "There are %lu timers running.";
inline constexpr std::string_view kDoYouWantToStopThem = "Do you want to stop them?";
inline constexpr std::string_view kUnableToCommitEditing =
    "%@:%@ unable to commit editing to terminate";
inline constexpr std::string_view kCouldNotSaveWhileQuitting =
    "Could not save changes while quitting. Quit anyway?";
inline constexpr std::string_view kQuittingLosesChanges =
    "Quitting now will lose any changes you have made since the last successful save";
inline constexpr std::string_view kQuitAnyway = "Quit anyway";

}  // namespace ravelong::launch_texts
