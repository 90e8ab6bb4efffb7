#pragma once

#include <string_view>

// Texts of the idle panel, the add-note panel, the shortcut recorder and the sleep delay.
namespace ravelong::idle_ui_texts {

// The logind delay held while timers run, so they are stopped or measured before sleep.
inline constexpr std::string_view kSleepInhibitWhat = "sleep";
inline constexpr std::string_view kSleepInhibitWhy = "Stopping timers before sleep";

// Idle panel.
inline constexpr std::string_view kIdleContinueOption = "   Continue the timer";
inline constexpr std::string_view kIdlePutAwayOption =
    "   Stop the timer, assign the idle time to:";
inline constexpr std::string_view kIdleResolveButton = "OK";
inline constexpr std::string_view kIdleCloseButton = "Close";

// Add-note panel.
inline constexpr std::string_view kNotePlaceholder = "Note";

// Shortcut recorder.
inline constexpr std::string_view kRecorderPrompt = "Type shortcut";
inline constexpr std::string_view kRecorderEmpty = "Record Shortcut";
inline constexpr std::string_view kShortcutUsedByMenu =
    "The menu item \"%@\" uses this shortcut, so it's already used. To use this shortcut, "
    "first remove or change the other shortcut.";
inline constexpr std::string_view kShortcutUsedBySystem =
    "This shortcut cannot be used because another program holds it: it's already used. To use "
    "this shortcut, first remove or change the other shortcut.";
inline constexpr std::string_view kShortcutNeedsModifier =
    "A shortcut needs at least one of Ctrl, Alt or Super, so that it does not take a key away "
    "from typing.";
inline constexpr std::string_view kNoGlobalShortcuts =
    "This desktop offers no way for programs to register shortcuts. Bind these commands in the "
    "desktop's own keyboard settings instead:";

}  // namespace ravelong::idle_ui_texts
