#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ravelong {

// Standard base64 (RFC 4648 alphabet "A-Z a-z 0-9 + /", padded with '=') for binary values kept
// in text files: data values in the settings file, payloads in sync and export files.
namespace base64 {

std::string encode(std::span<const std::uint8_t> bytes);

// Strict: the length must be a multiple of four, padding only at the end, no white space and no
// URL-safe letters. Anything else gives nullopt, because a damaged value must not decode to
// different bytes silently.
std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

}  // namespace base64

}  // namespace ravelong
