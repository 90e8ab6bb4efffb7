#include "menubar/HotKeyCombination.h"

#include <array>
#include <cctype>
#include <utility>

namespace ravelong {

namespace {

constexpr std::string_view kKeyCode = "keyCode";
constexpr std::string_view kModifierFlags = "modifierFlags";
constexpr std::string_view kModifiers = "modifiers";  // the older form

// Bits of the older "modifiers" value and what they became.
constexpr std::array<std::pair<std::uint64_t, std::uint64_t>, 4> kOlderModifierBits{{
    {256, HotKeyCombination::kSuper},
    {512, HotKeyCombination::kShift},
    {2048, HotKeyCombination::kAlt},
    {4096, HotKeyCombination::kControl},
}};

constexpr std::array<std::pair<std::uint32_t, std::string_view>, 27> kNamedKeysyms{{
    {0x20, "space"},       {0x27, "apostrophe"}, {0x2c, "comma"},        {0x2d, "minus"},
    {0x2e, "period"},      {0x2f, "slash"},      {0x3b, "semicolon"},    {0x3d, "equal"},
    {0x5b, "bracketleft"}, {0x5c, "backslash"},  {0x5d, "bracketright"}, {0x60, "grave"},
    {0xff08, "BackSpace"}, {0xff09, "Tab"},      {0xff0d, "Return"},     {0xff1b, "Escape"},
    {0xff50, "Home"},      {0xff51, "Left"},     {0xff52, "Up"},         {0xff53, "Right"},
    {0xff54, "Down"},      {0xff55, "Page_Up"},  {0xff56, "Page_Down"},  {0xff57, "End"},
    {0xff63, "Insert"},    {0xff13, "Pause"},    {0xffff, "Delete"},
}};

constexpr std::uint32_t kF1 = 0xffbe;
constexpr std::uint32_t kF35 = 0xffe0;

Error badValue(std::string why) {
    return Error{kRavelongErrorDomain, 1, "The stored shortcut cannot be read.", std::move(why)};
}

// A whole number in 0...max from a JSON value, or nothing.
std::optional<std::uint64_t> wholeNumber(const nlohmann::json& value, std::uint64_t max) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        return number <= max ? std::optional(number) : std::nullopt;
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        return number >= 0 && static_cast<std::uint64_t>(number) <= max
                   ? std::optional(static_cast<std::uint64_t>(number))
                   : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::string hotKeyActionName(std::string_view defaultsKey) {
    return "hit" + std::string(defaultsKey.size() > 2 ? defaultsKey.substr(2) : "");
}

std::string keysymName(std::uint32_t keysym) {
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9'))
        return std::string(1, static_cast<char>(keysym));
    if (keysym >= 'A' && keysym <= 'Z')  // shifted letters are recorded as the plain key
        return std::string(1, static_cast<char>(keysym - 'A' + 'a'));
    if (keysym >= kF1 && keysym <= kF35)
        return "F" + std::to_string(keysym - kF1 + 1);
    for (const auto& [code, name] : kNamedKeysyms)
        if (code == keysym)
            return std::string(name);
    return {};
}

Result<std::optional<HotKeyCombination>> HotKeyCombination::fromDictionary(
    const nlohmann::json& value) {
    if (value.is_null())
        return std::optional<HotKeyCombination>();
    if (!value.is_object())
        return badValue("A shortcut is stored as a dictionary.");
    const auto key = value.find(kKeyCode);
    if (key == value.end())
        return badValue("The shortcut has no key code.");
    const std::optional<std::uint64_t> code = wholeNumber(*key, 0xffff);
    if (!code)
        return badValue("The key code of the shortcut is not a number from 0 to 65535.");
    HotKeyCombination combination;
    combination.keyCode = static_cast<std::uint16_t>(*code);
    if (const auto flags = value.find(kModifierFlags); flags != value.end()) {
        const std::optional<std::uint64_t> bits = wholeNumber(*flags, UINT64_MAX);
        if (!bits)
            return badValue("The modifier keys of the shortcut are not a number.");
        combination.modifierFlags = *bits & kModifierMask;
    } else if (const auto older = value.find(kModifiers); older != value.end()) {
        const std::optional<std::uint64_t> bits = wholeNumber(*older, UINT64_MAX);
        if (!bits)
            return badValue("The modifier keys of the shortcut are not a number.");
        for (const auto& [from, to] : kOlderModifierBits)
            if (*bits & from)
                combination.modifierFlags |= to;
    } else {
        return badValue("The shortcut has no modifier keys.");
    }
    return std::optional(combination);
}

nlohmann::json HotKeyCombination::toDictionary() const {
    return nlohmann::json{{kKeyCode, keyCode}, {kModifierFlags, modifierFlags}};
}

std::string HotKeyCombination::portalTriggerText() const {
    const std::string key = keysymName(keyCode);
    if (key.empty())
        return {};
    std::string text;
    if (modifierFlags & kShift)
        text += "SHIFT+";
    if (modifierFlags & kControl)
        text += "CTRL+";
    if (modifierFlags & kAlt)
        text += "ALT+";
    if (modifierFlags & kSuper)
        text += "LOGO+";
    return text + key;
}

std::string HotKeyCombination::displayText() const {
    std::string key = keysymName(keyCode);
    if (key.size() == 1)
        key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    if (key.empty())
        key = "?";
    std::string text;
    if (modifierFlags & kControl)
        text += "Ctrl+";
    if (modifierFlags & kAlt)
        text += "Alt+";
    if (modifierFlags & kShift)
        text += "Shift+";
    if (modifierFlags & kSuper)
        text += "Super+";
    return text + key;
}

}  // namespace ravelong
