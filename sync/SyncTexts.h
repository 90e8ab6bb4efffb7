#pragma once

#include <string_view>

namespace ravelong::sync_texts {

// Preference keys and notification names of synchronisation.
inline constexpr std::string_view kZRConnectionState = "ZRConnectionState";
inline constexpr std::string_view kZRLastSync = "ZRLastSync";
inline constexpr std::string_view kZRSyncActivityDidBegin = "ZRSyncActivityDidBegin";
inline constexpr std::string_view kZRSyncActivityDidEnd = "ZRSyncActivityDidEnd";
inline constexpr std::string_view kErrorKey = "error";
inline constexpr std::string_view kSEPersistentStoreSyncDidMakeProgressWithActivityNotification =
    "SEPersistentStoreSyncDidMakeProgressWithActivityNotification";
inline constexpr std::string_view kSESyncActivityKey = "SESyncActivityKey";
inline constexpr std::string_view kSEProgressFractionKey = "SEProgressFractionKey";
inline constexpr std::string_view kSEActivityPhaseKey = "SEActivityPhaseKey";

// Status line of the synchronisation pane.
inline constexpr std::string_view kConnected = "Connected";
inline constexpr std::string_view kConnecting = "Connecting...";
inline constexpr std::string_view kNetworkUnavailable =
    "Network unavailable, will sync when back online.";
inline constexpr std::string_view kDisconnecting = "Disconnecting...";
inline constexpr std::string_view kNotConnected = "Not connected";
inline constexpr std::string_view kResynching = "Resynching";
inline constexpr std::string_view kUnableToSync = "Unable to sync, trying again in a few seconds.";
inline constexpr std::string_view kConnectedLastSync = "Connected - Last sync: %@";

// Label of the window shown while a last merge finishes at quit.
inline constexpr std::string_view kSynchronizingWithICloud = "Synchronizing with iCloud...";
inline constexpr std::string_view kSynchronizingWithDropbox = "Synchronizing with Dropbox...";
inline constexpr std::string_view kSynchronizing = "Synchronizing...";

// Merge conflicts of tasks.
inline constexpr std::string_view kTaskNameConflict =
    "A task's name has been changed since the last connection with the cloud.\nCloud value: "
    "%@\nLocal value: %@";
inline constexpr std::string_view kTaskDescriptionConflict =
    "The description of the task \"%@\" has been changed since the last connection with the "
    "cloud.";
inline constexpr std::string_view kTaskColorConflict =
    "The color of the task \"%@\" has been changed since the last connection with the cloud.";
inline constexpr std::string_view kParentTaskConflict =
    "The task \"%@\" has been rearranged.\n%@\n%@";
inline constexpr std::string_view kCloudParent = "Cloud value: parent task: \"%@\"";
inline constexpr std::string_view kCloudNoParent = "Cloud value: no parent task";
inline constexpr std::string_view kLocalParent = "Local value: parent task: \"%@\"";
inline constexpr std::string_view kLocalNoParent = "Local value: no parent task";
inline constexpr std::string_view kTaskDateConflict =
    "The created date of task \"%@\" has been changed since the last connection with the cloud.";
inline constexpr std::string_view kTaskArchivedConflict =
    "The archived status of task \"%@\" has been changed since the last connection with the "
    "cloud.\nCloud value: %@\nLocal value: %@";
inline constexpr std::string_view kNotArchived = "not archived";
inline constexpr std::string_view kArchived = "archived";
inline constexpr std::string_view kTaskMergedConflict =
    "The task \"%@\" has been merged with one or more tasks since the last connection with the "
    "cloud.\nUse Cloud: undo the merge\nUse Local: keep the merge";
inline constexpr std::string_view kTaskRoundingConflict =
    "The rounding of task \"%@\" has been changed since the last connection with the cloud.\nDo "
    "you want the task's rounding setting as it was last synchronized to the cloud or its local "
    "rounding setting?";
inline constexpr std::string_view kTaskOtherConflict =
    "A value of a task has been changed since the last connection with the cloud.";

// Merge conflicts of timings.
inline constexpr std::string_view kTimingDateConflict =
    "The date and/or duration of a timing that is assigned to the task \"%@\" has been changed "
    "since the last connection with the cloud.";
inline constexpr std::string_view kTimingNoteConflict =
    "The note of a timing that is assigned to the task \"%@\" has been changed since the last "
    "connection with the cloud.";
inline constexpr std::string_view kTimingTaskConflict =
    "The assigned task of a timing has been changed since the last connection with the "
    "cloud.\nCloud value: %@\nLocal value: %@";
inline constexpr std::string_view kTimingTimezoneConflict =
    "The time zone of a timing that is assigned to the task \"%@\" has been changed since the "
    "last connection with the cloud.";
inline constexpr std::string_view kTimingNewDayConflict =
    "The 'new day starts at' setting of a timing that is assigned to the task \"%@\" has been "
    "changed since the last connection with the cloud.";
inline constexpr std::string_view kTimingOtherConflict =
    "A value of a timing has been changed since the last connection with the cloud.";
inline constexpr std::string_view kOtherConflict =
    "A value has been changed since the last connection with the cloud.";

}  // namespace ravelong::sync_texts
