#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Notification names, file names and user-facing texts of the application layer.
namespace ravelong {

// Notifications posted by the preferences.
inline constexpr std::string_view kMenuBarCustomDurationChanged = "MenuBar_customDurationChanged";
inline constexpr std::string_view kMenuBarShowTaskDescriptionUnderTaskNameChanged =
    "MenuBar_showTaskDescriptionUnderTaskNameChanged";
inline constexpr std::string_view kReloadMenuBarPanelTable = "ReloadMenuBarPanelTable";
inline constexpr std::string_view kMenuBarNeedsToReloadTotalTime = "MenuBarNeedsToReloadTotalTime";
inline constexpr std::string_view kZRNewDayChanged = "ZRNewDayChanged";

// Folders and files below the data roots.
inline constexpr std::string_view kGroupContainerFolderName = "ravelong-group";
inline constexpr std::string_view kLibraryFolderName = "Library";
inline constexpr std::string_view kApplicationSupportFolderName = "Application Support";
inline constexpr std::string_view kLegacyFolderName = "Ravelong";  // also the group folder
inline constexpr std::string_view kCurrentFolderName = "Ravelong2";
inline constexpr std::string_view kBackupFolderName = "Backup";
inline constexpr std::string_view kTransferFolderName = "Transfer";
inline constexpr std::string_view kStoreFileName = "RavelongDB.sqlite";
inline constexpr std::string_view kLegacyStoreFileName = "Ravelong.sqlite";
inline constexpr std::string_view kAutostartFileName = "ravelong.desktop";

// Store errors.
inline constexpr std::string_view kYourErrorDomain = "YOUR_ERROR_DOMAIN";
inline constexpr int kFileWhereFolderExpectedCode = 101;
inline constexpr int kMainContextFailedCode = 9999;
inline constexpr std::string_view kExpectedFolderFoundFile =
    "Expected a folder to store application data, found a file (%@).";
inline constexpr std::string_view kFailedToInitializeTheStore = "Failed to initialize the store";
inline constexpr std::string_view kErrorBuildingUpTheDataFile =
    "There was an error building up the data file.";
inline constexpr std::string_view kNoModelToGenerateAStoreFrom =
    "%@:%@ No model to generate a store from";

// Start at login.
inline constexpr std::string_view kApplicationName = "Ravelong";
inline constexpr std::string_view kAnErrorOccurred = "An error occurred";
inline constexpr std::string_view kOK = "OK";
inline constexpr std::string_view kCouldNotAddToStartupApplications =
    "Couldn't add Ravelong to the startup applications. Please add Ravelong to your desktop's "
    "startup applications manually.";
inline constexpr std::string_view kCouldNotRemoveFromStartupApplications =
    "Couldn't remove Ravelong from the startup applications.";

// Label of the second hot key in the preferences.
inline constexpr std::string_view kToggleTimerDoNotShowAddNote =
    "Toggle timer, do not show 'Add note':";
inline constexpr std::string_view kToggleTimerAndShowAddNote = "Toggle timer and show 'Add note':";

// Default period of the bar chart.
inline constexpr std::string_view kDaily = "daily";

// Replaces each "%@" of `pattern` by the next argument, in order; placeholders without an
// argument stay as they are.
inline std::string formatText(std::string_view pattern,
                              std::initializer_list<std::string_view> arguments) {
    std::string result;
    auto next = arguments.begin();
    std::size_t position = 0;
    while (position < pattern.size()) {
        const std::size_t found = pattern.find("%@", position);
        if (found == std::string_view::npos || next == arguments.end()) {
            result.append(pattern.substr(position));
            break;
        }
        result.append(pattern.substr(position, found - position));
        result.append(*next++);
        position = found + 2;
    }
    return result;
}

}  // namespace ravelong
