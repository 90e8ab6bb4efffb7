#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// Fills the printf-like patterns of our fixed texts without the C library, whose output follows
// the process locale (a Qt program runs with setlocale(LC_ALL, ""), so "%.2f" would write a comma
// under de_DE whether we asked for it or not).
namespace ravelong::format_pattern {

using Argument = std::variant<uint64_t, double, std::string_view>;

// The pattern with its placeholders replaced by the arguments, in order:
//   "%lu"  an unsigned whole number (a double argument is truncated; below 0 or NaN gives 0),
//   "%@"   a text,
//   "%.Nf" a double with N decimals (N 0...9), rounded as printf rounds, with `decimalSeparator`
//          in place of the point,
//   "%%"   a percent sign.
// A placeholder without an argument, or with an argument of another kind, writes nothing; any
// other "%" sequence is copied as it stands.
std::string apply(std::string_view pattern, std::initializer_list<Argument> arguments,
                  std::string_view decimalSeparator = ".");

}  // namespace ravelong::format_pattern
