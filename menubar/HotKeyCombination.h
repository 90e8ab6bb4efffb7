#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong {

// The five global hot keys: user-defaults key, identifier, and the action the key calls.
struct HotKeyDefinition {
    std::string_view defaultsKey;
    std::string_view identifier;
};
inline constexpr HotKeyDefinition kHotKeyDefinitions[] = {
    {"ZRToggleTimerHotKey", "ToggleTimer"},
    {"ZRAddNoteHotKey", "AddNote"},
    {"ZRToggleMenuBarPanelHotKey", "ToggleMenuBarPanel"},
    {"ZRToggleTimerAndAddNoteHotKey", "ToggleTimerAndAddNote"},
    {"ZRShowRecentTasksHotKey", "ShowRecentTasks"},
};

// "hit" followed by the key without its first two letters: "ZRToggleTimerHotKey" gives
// "hitToggleTimerHotKey".
std::string hotKeyActionName(std::string_view defaultsKey);

// A key combination as the hot-key preferences store it: {"keyCode": ..., "modifierFlags": ...}.
//
// keyCode is the X keysym of the key without modifiers (XK_t = 0x74 for T, XK_F5 = 0xffc2); keys
// whose keysym does not fit the stored 16 bits cannot be recorded. modifierFlags holds these
// bits, the same on every desktop; the portal's trigger text ("CTRL+ALT+t") is derived from both.
// The older stored form {"keyCode", "modifiers"} with its own bits is read and converted.
struct HotKeyCombination {
    static constexpr std::uint64_t kShift = 1u << 17;
    static constexpr std::uint64_t kControl = 1u << 18;
    static constexpr std::uint64_t kAlt = 1u << 19;
    static constexpr std::uint64_t kSuper = 1u << 20;
    static constexpr std::uint64_t kModifierMask = kShift | kControl | kAlt | kSuper;

    std::uint16_t keyCode = 0;
    std::uint64_t modifierFlags = 0;

    friend bool operator==(const HotKeyCombination&, const HotKeyCombination&) = default;

    // An absent or null value is no shortcut (nullopt); a value that is not a combination is an
    // error naming the key, and the caller keeps whatever was registered before.
    static Result<std::optional<HotKeyCombination>> fromDictionary(const nlohmann::json& value);
    nlohmann::json toDictionary() const;

    // The shortcut text the desktop portal takes as a preferred trigger, modifiers first:
    // "CTRL+ALT+t", "SHIFT+LOGO+F5". Empty when the key has no keysym name known here.
    std::string portalTriggerText() const;
    // The same, for people: "Ctrl+Alt+T".
    std::string displayText() const;
};

// The name of a keysym as X and the portal spell it ("t", "F5", "space", "Return"); empty for a
// keysym without a name known here.
std::string keysymName(std::uint32_t keysym);

}  // namespace ravelong
