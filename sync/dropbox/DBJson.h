#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "foundation/Error.h"

namespace ravelong::dropbox_json {

// Replies deeper than this are refused before they are parsed: no reply of the routes we use
// nests more than a handful of levels, and a hostile one could otherwise exhaust the stack.
inline constexpr int kMaximumDepth = 64;

// Parses a server reply, refusing one longer than maxBytes, nested deeper than maxDepth, or not
// valid JSON, with an Error (kSEErrorUnknown) naming what was wrong.
Result<nlohmann::json> parseReply(std::string_view text, std::size_t maxBytes = 32u << 20,
                                  int maxDepth = kMaximumDepth);

// How deeply arrays and objects nest in a JSON text (strings are skipped), counting no further
// than limit + 1.
int nestingDepth(std::string_view text, int limit);

// JSON fit for an HTTP header (the Dropbox-API-Arg of the content routes): every non-ASCII
// character and DEL written as a \uXXXX escape.
std::string headerSafe(const nlohmann::json& value);

// The member's value when the object holds one of the wanted type, else the fallback.
std::string stringMember(const nlohmann::json& object, const char* name, std::string fallback = {});

}  // namespace ravelong::dropbox_json
