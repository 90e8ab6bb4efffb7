#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// The text of a settings file (see UserDefaults) and the limits that keep a hostile one harmless.
// A settings file is edited by hand and copied between machines, so it may hold anything: JSON
// nested a hundred thousand levels deep would overflow the stack of any recursive reader or
// writer, and indenting it would turn a few kilobytes into hundreds of megabytes.
namespace ravelong::settings_file_text {

// The deepest nesting of arrays and objects a settings file may have, its top-level object
// counted: a stored value may nest kMaxNestingDepth - 1 levels. Real settings nest two or three.
inline constexpr int kMaxNestingDepth = 64;
// The longest text one stored value may take (strings, data, dictionaries, arrays).
inline constexpr std::size_t kMaxValueBytes = 1 << 20;

// True when the brackets of `text`, outside strings, nest deeper than `limit`. Reads the text
// once without recursion, so it is safe on any input; text that is not JSON at all is left to the
// parser to refuse.
bool nestsDeeperThan(std::string_view text, int limit);

// The nesting depth of a value (a number or string 0, [] 1, [[1]] 2), counted without recursion
// and only up to limit + 1: anything deeper than `limit` gives limit + 1.
int nestingDepth(const nlohmann::json& value, int limit);

// The file text of a settings object: one key per line, each value on its line in compact form,
// so the file stays readable and a value costs no more than its own text. Invalid UTF-8 in a
// string is replaced rather than failing the whole file.
std::string render(const nlohmann::json& values);

// A value in its compact form (as render writes it).
std::string compact(const nlohmann::json& value);

}  // namespace ravelong::settings_file_text
