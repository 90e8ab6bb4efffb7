#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "foundation/Instant.h"

namespace ravelong {

// A date as a script passes it: an instant (seconds since 2001-01-01 UTC). A type of its own, so
// that a number is never taken for a date.
struct ScriptDate {
    Instant instant = 0.0;
    bool operator==(const ScriptDate&) const = default;
};

// One argument of a script command. Commands look at the kind: a date argument given as text
// or a number, or a flag given as text, counts as not given.
using ScriptValue = std::variant<std::string, bool, double, ScriptDate>;

// The arguments of one command by key; the direct parameter is under the empty key. A command
// sent without any arguments at all gets no ScriptArguments (std::nullopt), which is not the
// same as an empty map.
using ScriptArguments = std::map<std::string, ScriptValue>;
inline constexpr const char* kDirectParameter = "";

namespace script_values {

// The argument under `key` when it is of the kind asked for, else nothing.
inline std::optional<std::string> text(const std::optional<ScriptArguments>& arguments,
                                       const std::string& key) {
    if (!arguments)
        return std::nullopt;
    const auto found = arguments->find(key);
    if (found == arguments->end() || !std::holds_alternative<std::string>(found->second))
        return std::nullopt;
    return std::get<std::string>(found->second);
}

inline std::optional<Instant> date(const std::optional<ScriptArguments>& arguments,
                                   const std::string& key) {
    if (!arguments)
        return std::nullopt;
    const auto found = arguments->find(key);
    if (found == arguments->end() || !std::holds_alternative<ScriptDate>(found->second))
        return std::nullopt;
    return std::get<ScriptDate>(found->second).instant;
}

// False unless the argument is the flag true.
inline bool flag(const std::optional<ScriptArguments>& arguments, const std::string& key) {
    if (!arguments)
        return false;
    const auto found = arguments->find(key);
    return found != arguments->end() && std::holds_alternative<bool>(found->second) &&
           std::get<bool>(found->second);
}

}  // namespace script_values
}  // namespace ravelong
