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
// The synced folder of service 5 (standard defaults): an absolute path.
inline constexpr std::string_view kRavelongSyncFolder = "RavelongSyncFolder";
// The app key of the user's own Dropbox app (standard defaults).
inline constexpr std::string_view kRavelongDropboxAppKey = "RavelongDropboxAppKey";
// The CloudKit container the user made for iCloud (standard defaults): its identifier, the API
// token of its web services and the environment ("development" or "production").
inline constexpr std::string_view kRavelongICloudContainer = "RavelongICloudContainer";
inline constexpr std::string_view kRavelongICloudAPIToken = "RavelongICloudAPIToken";
inline constexpr std::string_view kRavelongICloudEnvironment = "RavelongICloudEnvironment";

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

// Refusals of a folder chosen for synchronisation.
inline constexpr std::string_view kFolderNotAbsolute = "Choose a folder by its full path.";
inline constexpr std::string_view kFolderMissing = "The folder %@ does not exist.";
inline constexpr std::string_view kFolderNotWritable =
    "Ravelong cannot write to the folder %@. Choose a folder you can change.";
inline constexpr std::string_view kFolderBusy =
    "Another choice is being connected. Try again in a moment.";
inline constexpr std::string_view kServiceNotOffered =
    "This build of Ravelong cannot synchronise with that service yet.";
inline constexpr std::string_view kDropboxNoAppKey =
    "Create a Dropbox app and enter its app key first.";
inline constexpr std::string_view kDropboxBadAppKey =
    "A Dropbox app key holds only letters and digits. Copy it from your app's settings page.";
inline constexpr std::string_view kDropboxKeyWhileLinked =
    "Unlink the Dropbox account before you enter another app key.";
inline constexpr std::string_view kDropboxNotLinked = "Link a Dropbox account first.";
inline constexpr std::string_view kDropboxLinkCancelled = "Linking with Dropbox was cancelled.";
inline constexpr std::string_view kDropboxNoCode = "Paste the code that Dropbox showed you.";
inline constexpr std::string_view kDropboxForeignCode =
    "The pasted address belongs to another sign-in. Click \"Link...\" again.";
inline constexpr std::string_view kDropboxNotLinking = "Click \"Link...\" first.";
inline constexpr std::string_view kICloudNoContainer =
    "Enter the identifier of your CloudKit container and its API token first.";
inline constexpr std::string_view kICloudBadContainer =
    "A container identifier starts with \"iCloud.\" and holds only letters, digits, dots, "
    "hyphens and underscores.";
inline constexpr std::string_view kICloudBadAPIToken =
    "An API token holds only letters, digits, hyphens and underscores. Copy it from the "
    "container's dashboard.";
inline constexpr std::string_view kICloudBadEnvironment =
    "The environment is either \"development\" or \"production\".";
inline constexpr std::string_view kICloudSettingsWhileSignedIn =
    "Sign out of iCloud before you change the container.";
inline constexpr std::string_view kICloudNotSignedIn = "Sign in to iCloud first.";
inline constexpr std::string_view kICloudSignInCancelled = "Signing in to iCloud was cancelled.";
inline constexpr std::string_view kICloudNotSigningIn = "Click \"Sign In...\" first.";
inline constexpr std::string_view kNoSyncEngine =
    "This build of Ravelong cannot merge data between computers yet.";

// The windows that ask the user about synchronisation.
inline constexpr std::string_view kMergeConflictTitle = "Synchronisation Conflict";
inline constexpr std::string_view kUseCloud = "Use Cloud";
inline constexpr std::string_view kUseLocal = "Use Local";
inline constexpr std::string_view kApplyToAllConflicts = "Do this for all conflicts";
inline constexpr std::string_view kCloudDataTitle = "Data Found in the Sync Folder";
inline constexpr std::string_view kCloudDataMessage =
    "The sync folder already holds Ravelong data from another computer.";
inline constexpr std::string_view kCloudDataInformative =
    "Continue merges it with the data of this computer. Delete removes the data in the sync "
    "folder and starts it again from this computer.";
inline constexpr std::string_view kContinue = "Continue";
inline constexpr std::string_view kDeleteCloudData = "Delete Data in the Folder";
inline constexpr std::string_view kReleechTitle = "Synchronise Again";
inline constexpr std::string_view kReleechMessage =
    "The data in the sync folder was started again from another computer.";
inline constexpr std::string_view kReleechInformative =
    "Download it and merge this computer's changes into it now? Until then this computer does "
    "not synchronise.";
inline constexpr std::string_view kReleechNow = "Synchronise Now";
inline constexpr std::string_view kNotNow = "Not Now";
inline constexpr std::string_view kSyncAlertTitle = "Synchronisation";
inline constexpr std::string_view kOK = "OK";
inline constexpr std::string_view kClocksTitle = "Clocks Differ";
inline constexpr std::string_view kClocksMessage =
    "The clock of this computer and the clock of another computer you synchronise with differ "
    "by more than two minutes.";
inline constexpr std::string_view kClocksInformative =
    "Timings started on one computer and stopped on the other would get wrong durations. Set "
    "both clocks to the network time (for example with systemd-timesyncd or chrony).";

// The help of the synchronisation pane.
inline constexpr std::string_view kSyncHelpTitle = "Synchronising with a Folder";
inline constexpr std::string_view kSyncHelpMessage =
    "Ravelong keeps several computers in step through a folder that you already synchronise "
    "between them.";
inline constexpr std::string_view kSyncHelpInformative =
    "1. Make a folder that a sync tool keeps equal on every computer: a Syncthing folder, a "
    "folder of the Nextcloud or ownCloud desktop client, or a folder on a network share.\n"
    "2. On each computer choose \"A synced folder\" here and pick that folder (its path may "
    "differ between computers).\n"
    "3. Ravelong writes its changes into the folder a few seconds after you make them and reads "
    "the other computers' changes; \"Sync Now\" does it at once.\n\n"
    "Use one folder for Ravelong alone. Keep the computers' clocks set by the network.";

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
