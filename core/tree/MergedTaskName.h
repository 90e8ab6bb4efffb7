#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace ravelong {

// The name and description a task gets when it absorbs another (merging two tasks, or combining
// two copies of one task that a merge of stores left behind).
namespace merged_task_name {

// The merged name of `receiver` absorbing `other`, before any width limit:
// - equal names (ignoring case) give the receiver's name;
// - when the longest common start of the two names (ignoring case) ends with a space, the rest
//   of the other name is appended: "Client A Meetings" + "Client A Design" gives
//   "Client A Meetings + Design";
// - else both names are joined: "Alpha" + "Beta" gives "Alpha + Beta".
std::string mergedName(std::string_view receiver, std::string_view other);

// Cuts characters off the end while the name is at least kMergedNameWidthLimit points wide by
// TextWidthMeasurer::current(), but never below kMinimumCharacters.
std::string limitedToMergedNameWidth(std::string name);
inline constexpr std::size_t kMinimumCharacters = 5;

// The description after absorbing: both present and different: the receiver's, an empty line
// and the other's; only the other's present: the other's; else the receiver's unchanged.
std::optional<std::string> mergedDescription(const std::optional<std::string>& receiver,
                                             const std::optional<std::string>& other);

// The number of characters (code points) of UTF-8 text; bytes when it is not valid UTF-8.
std::size_t characterCount(std::string_view utf8);

}  // namespace merged_task_name
}  // namespace ravelong
