#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scripting/ScriptValue.h"
#include "scripting/ZRScriptTask.h"
#include "scripting/ZRScriptTiming.h"

namespace ravelong {

class ManagedObjectContext;
class ZRTimerControllerOSX;

// The application as scripts see it: its tasks, the running tasks, and the seven commands.
//
// Every command answers only true or false; what it found or made is left in one of the four
// `previous...` properties, which keep their values until the next command of the same kind
// replaces or clears them. A caller that runs commands concurrently (D-Bus) reads them right
// after its own command on the same thread. Changes are saved at once, each as one undo step.
//
// A command sent without any arguments (std::nullopt) sets the script error (-50 and its text),
// clears its result property and answers false; the two listing commands take that as no
// filters. Every other failure is a false answer without an error.
//
// The context, timer controller and user script outlive this object. Main thread only.
class ZRScriptApplication {
public:
    ZRScriptApplication(ManagedObjectContext& context, ZRTimerControllerOSX& timerController,
                        bool userScriptFound);

    struct ScriptError {
        int number = 0;
        std::string text;
        bool operator==(const ScriptError&) const = default;
    };

    // --- Properties ---

    std::vector<ZRScriptTask> tasks() const;
    std::vector<std::string> runningTaskIDs() const;
    const std::optional<ZRScriptTask>& previousTask() const { return previousTask_; }
    const std::optional<ZRScriptTiming>& previousTiming() const { return previousTiming_; }
    const std::vector<std::string>& previousTaskIDs() const { return previousTaskIDs_; }
    const std::vector<std::string>& previousTimingIDs() const { return previousTimingIDs_; }
    bool userScriptFound() const { return userScriptFound_; }
    // The error of the last command; {0, ""} when it reported none.
    const ScriptError& scriptError() const { return scriptError_; }

    // A script task for the task with this uuid or older identifier, without touching the
    // previous... properties.
    std::optional<ZRScriptTask> taskWithID(const std::string& uuidOrUID) const;
    // The same for a timing by its uuid.
    std::optional<ZRScriptTiming> timingWithID(const std::string& uuid) const;
    // Plain creation of a script task ("Untitled Task").
    ZRScriptTask makeNewTask();

    // --- Commands (keys in ScriptTexts.h) ---

    // "name", "parentTaskID", "description" -> previousTask.
    bool createTask(const std::optional<ScriptArguments>& arguments);
    // "taskID", "startDate", "endDate", "note" -> previousTiming.
    bool createTiming(const std::optional<ScriptArguments>& arguments);
    // Direct parameter: a task uuid. True when the timer was toggled.
    bool toggleTask(const std::optional<ScriptArguments>& arguments);
    // "name", "includeArchived" -> previousTaskIDs.
    bool getTaskIDs(const std::optional<ScriptArguments>& arguments);
    // Direct parameter: a task uuid or older identifier -> previousTask.
    bool getTaskWithID(const std::optional<ScriptArguments>& arguments);
    // "taskID", "startDate", "endDate", "includeArchived" -> previousTimingIDs.
    bool getTimingIDs(const std::optional<ScriptArguments>& arguments);
    // Direct parameter: a timing uuid -> previousTiming.
    bool getTimingWithID(const std::optional<ScriptArguments>& arguments);

private:
    // Records the missing-arguments error; returns whether the arguments are missing.
    bool reportMissingArguments(const std::optional<ScriptArguments>& arguments);

    ManagedObjectContext& context_;
    ZRTimerControllerOSX& timerController_;
    bool userScriptFound_;
    std::optional<ZRScriptTask> previousTask_;
    std::optional<ZRScriptTiming> previousTiming_;
    std::vector<std::string> previousTaskIDs_;
    std::vector<std::string> previousTimingIDs_;
    ScriptError scriptError_;
};

}  // namespace ravelong
