#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// The search of the task lists: marks the tasks (ZRCDTask::isVisibleDuringSearch) that match a
// search text. Main thread (the context's thread) only.
//
// The text is split at spaces into words (empty words, from runs of spaces, are dropped).
// - Several words: a task matches when each word is contained in its own name, its parent's
//   name or its grandparent's name, ignoring case and diacritics ("des cli" matches "Design"
//   under "Client A": each word may match at another level).
// - One word: a task matches when its own name contains it, ignoring case only.
// - No word: nothing matches.
namespace task_search {

std::vector<std::string> searchWords(std::string_view text);

// Whether the task matches the words as above.
bool taskMatchesSearchWords(const ZRCDTask& task, const std::vector<std::string>& words);

// With undo registration off: clears isVisibleDuringSearch on every task, then sets it on each
// matching task and on its parent and grandparent. Only flags that change are written. Returns
// the number of matching tasks.
int setTasksContainingStringAndAncestorsVisibleDuringSearchAndHideOthers(
    std::string_view text, ManagedObjectContext& context);

// The same for the statistics list: the flag is set only on matching tasks without subtasks,
// and not on their ancestors. Returns the number of matching tasks.
int setLeafTasksContainingStringInFullTaskNameVisibleDuringSearchAndHideOthers(
    std::string_view text, ManagedObjectContext& context);

// Text compared without regard to case (and, when asked, to diacritics): both sides are folded
// alike, so "Über" contains "ub" when diacritics are ignored and "üb" in either case.
std::u16string foldedForSearch(std::string_view text, bool ignoreDiacritics);

}  // namespace task_search
}  // namespace ravelong
