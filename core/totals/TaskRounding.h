#pragma once

#include <cstdint>
#include <string>

// The rounding rule of a task (ZRCDTask): the effective code, the setters behind the rounding
// controls of the task lists, and the texts that describe the rule. Codes as in RoundingRule.h.
// Main thread (the context's thread).
namespace ravelong {
class ManagedObjectContext;
class ZRCDTask;
}  // namespace ravelong

namespace ravelong::task_totals {

// The task's own code when it is not negative, else its parent's effective code; a tier-1 task
// that inherits has 0 (no rounding).
std::int16_t getProperRounding(const ZRCDTask& task);

// Stores a code and brings the rounded caches up to date: those of the task's own sets, or, for
// a task with subtasks, those of every descendant that inherits (own code negative). The current
// RoundingEnabledFlag is refreshed first, so a first rounding rule fills the caches at once. No
// undo group and no save of its own.
void setRounding(ZRCDTask& task, std::int16_t code);

// The rounding type control, as one undo step "Set Task Rounding Type", saved through the
// context's delegate, then "ZRRoundingModified" posted. `type` is 1 up, 2 nearest, 3 down (with the
// current minutes, at least 1), 0 no rounding, -1 inherit; on a tier-1 task 0 and -1 both store
// -1, on a subtask 0 stores the minutes alone (explicitly no rounding, overriding the parent).
// Returns false and changes nothing when the type is the task's effective type already, or is
// not one of -1...3.
bool setRoundingType(ZRCDTask& task, int type);

// The rounding minutes control, as one undo step "Set Task Rounding Minutes", saved, then
// "ZRRoundingModified" posted. A subtask whose parent's effective rule then has the same type and
// minutes goes back to inheriting (-1); otherwise the code becomes the current type with the new
// minutes. A task with subtasks then lets every descendant whose own code equals its new one
// inherit instead. Returns false and changes nothing when the minutes are the effective minutes
// already, or lie outside 1...99 (which would spill into the type).
bool setRoundingMinutes(ZRCDTask& task, int minutes);

// The effective code is above 99, or a descendant has an own code above 99. Charts use it to say
// that what they show is rounded.
bool thisTaskOrAnyDescendantRoundsTimes(const ZRCDTask& task);
// A descendant hidden in the statistics task list (isVisibleInDataSelection off) has an own code
// above 99.
bool aHiddenInDataSelectionSubtaskHasRoundingEnabled(const ZRCDTask& task);
// Some task has an own code above 100 (`roundingEnabled`).
bool anyTaskHasRoundingEnabled_inContext(const ManagedObjectContext& context);

// The tool tip of the task's rounding control ("Round to nearest 15 minutes", with a second line
// when the rule is inherited; "Contains a subtask that uses rounding" for a task that does not
// round but hides a subtask that does); empty when there is nothing to say.
std::string getRoundingToolTip(const ZRCDTask& task);
// The rule in running text for the task information view: "no rounding", "round up to nearest
// minute", "round down to nearest 15 minutes".
std::string getRoundingDescription(const ZRCDTask& task);

}  // namespace ravelong::task_totals
