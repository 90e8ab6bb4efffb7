#pragma once

#include <optional>
#include <string>

namespace ravelong {

class ManagedObjectContext;
class ZRCDTask;

// A task as scripts see it. Made fresh on every read; holds the record, which must outlive it.
// Writes save at once, each as one undo step. Main thread (the context's thread) only.
class ZRScriptTask {
public:
    // Wraps an existing task without creating anything.
    static ZRScriptTask initWithoutCreation(ZRCDTask* task) { return ZRScriptTask(task); }
    // A script's plain creation: a new saved task "Untitled Task", one undo step
    // "Add Task (Script)".
    static ZRScriptTask createNew(ManagedObjectContext& context);

    ZRCDTask* task() const { return task_; }

    // The task's uuid.
    std::string uniqueID() const;
    std::string name() const;
    // The parent's uuid, or the empty text for a top-level task.
    std::string parentTaskID() const;

    // Renames the task ("Rename Task (Script)"); no value leaves it as it is. Returns whether it
    // changed the task.
    bool setName(const std::optional<std::string>& name);
    // Moves the task under the task with this uuid or older identifier ("Rearrange Task
    // (Script)"). Ignored (false) without a value or when no task has it; refused (false,
    // nothing changed) when the target is the task itself or one of its descendants, has
    // timings of its own, or the tree would get more than three tiers.
    bool setParentTaskID(const std::optional<std::string>& parentTaskID);

private:
    explicit ZRScriptTask(ZRCDTask* task) : task_(task) {}
    ZRCDTask* task_;
};

}  // namespace ravelong
