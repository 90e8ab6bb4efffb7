#pragma once

#include <string_view>

// Names, texts and settings keys of the Qt application.
namespace ravelong::ui_texts {

inline constexpr std::string_view kApplicationName = "Ravelong";
// The desktop entry's name without ".desktop": Wayland compositors and portals match windows to
// the entry by it.
inline constexpr std::string_view kDesktopFileName = "io.github.ravelong.Ravelong";
inline constexpr std::string_view kTrayItemId = "ravelong";

// The tray item.
inline constexpr std::string_view kNoTask = "No Task";
inline constexpr std::string_view kTodayTotal = "Today: %@";
inline constexpr std::string_view kTimerStopped = "Timer stopped after %@";
inline constexpr std::string_view kQuitRavelong = "Quit Ravelong";
inline constexpr std::string_view kShowTasks = "Show Tasks";

// The task panel: search field, add control, context menu and the edit sheet.
inline constexpr std::string_view kSearchPlaceholder = "Search";
inline constexpr std::string_view kAddTask = "Add Task";
inline constexpr std::string_view kAddSubtask = "Add Subtask";
inline constexpr std::string_view kRename = "Rename";
inline constexpr std::string_view kEditTask = "Edit...";
inline constexpr std::string_view kArchive = "Archive";
inline constexpr std::string_view kUnarchive = "Unarchive";
inline constexpr std::string_view kArchiveSubtasks = "Archive Subtasks";
inline constexpr std::string_view kUnarchiveSubtasks = "Unarchive Subtasks";
inline constexpr std::string_view kDelete = "Delete";
inline constexpr std::string_view kDeleteKeepingSubtasks = "Delete Keeping Subtasks";
inline constexpr std::string_view kTotalEverHeading = "total";
inline constexpr std::string_view kEditTaskTitle = "Edit Task";
inline constexpr std::string_view kTaskNameLabel = "Name:";
inline constexpr std::string_view kTaskColorLabel = "Colour:";
inline constexpr std::string_view kTaskDescriptionLabel = "Description:";
inline constexpr std::string_view kTaskRoundingLabel = "Rounding:";
inline constexpr std::string_view kRoundingChoices[] = {"Inherit from parent task", "No rounding",
                                                        "Round up to nearest", "Round to nearest",
                                                        "Round down to nearest"};
inline constexpr std::string_view kRoundingMinutesSuffix = " min";

// The timers-running window.
inline constexpr std::string_view kStopTimers = "Stop Timers";
inline constexpr std::string_view kKeepRunning = "Keep Running";

// The alerts.
inline constexpr std::string_view kDoNotShowAgain = "Do not show this message again";

// The main window until its real contents exist.
inline constexpr std::string_view kMainWindowTasks = "Tasks";

// A desktop without a tray: the panel is a window of its own, and the user is told once.
inline constexpr std::string_view kNoTrayMessage = "Your desktop shows no tray icons.";
inline constexpr std::string_view kNoTrayInformative =
    "Ravelong keeps running when you close its window; start Ravelong again to bring the window "
    "back. To get the Ravelong icon in the top bar on GNOME, install and enable the "
    "\"AppIndicator and KStatusNotifierItem Support\" extension; on other desktops add a system "
    "tray (notification area) to a panel. Then quit and start Ravelong again.";
// Setting that remembers the user was told.
inline constexpr std::string_view kZRNoTrayNoticeShown = "ZRNoTrayNoticeShown";

// Single instance over the session bus.
inline constexpr std::string_view kBusName = "app.ravelong.Ravelong";
inline constexpr std::string_view kBusPath = "/app/ravelong/Ravelong";
inline constexpr std::string_view kBusInterface = "app.ravelong.Ravelong";

// Power-off, reboot and logout.
inline constexpr std::string_view kInhibitWhat = "shutdown";
inline constexpr std::string_view kInhibitWho = "Ravelong";
inline constexpr std::string_view kInhibitWhy = "Stopping timers";
inline constexpr std::string_view kInhibitMode = "delay";

}  // namespace ravelong::ui_texts
