#include <algorithm>
#include <cmath>
#include <string>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AddNotePanel.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/TimingEditSession.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/TimingStop.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

// One named undo step for as long as it lives; nothing without an undo manager. The name can be
// changed until the step ends (a start learns only after stopping the others whether it is a
// "Stop and Start Timer").
class UndoStep {
public:
    UndoStep(ManagedObjectContext& context, std::string_view name)
        : undoManager_(context.undoManager()) {
        if (!undoManager_)
            return;
        undoManager_->beginUndoGrouping();
        undoManager_->setActionName(std::string(name));
    }
    ~UndoStep() {
        if (undoManager_)
            undoManager_->endUndoGrouping();
    }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    void rename(std::string_view name) {
        if (undoManager_)
            undoManager_->setActionName(std::string(name));
    }

private:
    ZRUndoManager* undoManager_;
};

bool isUsable(const ManagedObject* object, const ManagedObjectContext& context) {
    return object && !object->isDeleted() && object->managedObjectContext() == &context;
}

// The running timings of a task. Tasks are matched by uuid, so a copy of the task that a merge of
// stores left behind counts as the same task.
std::vector<ZRCDTiming*> runningTimingsOfTask(const ZRCDTask& task,
                                              const ManagedObjectContext& context) {
    std::vector<ZRCDTiming*> timings = ZRCDTiming::getRunningTimings_inContext(context);
    std::erase_if(timings, [&](const ZRCDTiming* timing) {
        const ZRCDTask* owner = timing->task();
        if (!owner)
            return true;
        if (task.uuid())
            return owner->uuid() != task.uuid();
        return owner != &task;
    });
    return timings;
}

bool isBelow(const ZRCDTask* task, const ZRCDTask& ancestor) {
    // The tree has three tiers; the bound only guards against a damaged store with a loop.
    int depth = 0;
    for (const ZRCDTask* parent = task ? task->parentTask() : nullptr; parent && depth < 64;
         parent = parent->parentTask(), ++depth) {
        if (parent == &ancestor)
            return true;
    }
    return false;
}

std::int64_t showAddNoteSetting() {
    return UserDefaults::standard().integerForKey(kZRShowAddNoteToTiming, 0);
}

}  // namespace

bool ZRTimerControllerOSX::stopTiming(ZRCDTiming* timing, double stopSecondsAgo,
                                      std::int64_t noteOverride, bool considerModifierKeys,
                                      bool saveContext) {
    ManagedObjectContext& context = this->context();
    if (!isUsable(timing, context)) {
        playFunk();
        return false;
    }
    if (!timing->running() || !std::isfinite(stopSecondsAgo))
        return false;

    // A half-typed duration or date of this timing in the table would otherwise be committed
    // after the stop, over the stopped values.
    if (TimingEditSession* edit = delegate_.timingEditSession())
        edit->endTimingEditInProgress();

    ZRCDTiming* kept = nullptr;
    if (saveContext) {
        context.processPendingChanges();
        UndoStep step(context, kUndoStopTimer);
        kept = timing_stop::stopThisTimingSecondsAgo(*timing, stopSecondsAgo,
                                                     delegate_.statusItemTime());
        delegate_.saveContext(context);
    } else {
        kept = timing_stop::stopThisTimingSecondsAgo(*timing, stopSecondsAgo,
                                                     delegate_.statusItemTime());
    }

    if (kept && noteOverride != kNoteOverrideNoPanel) {
        scheduleNotePanel(kNotePanelDelayAfterStop,
                          noteOverride == kNoteOverrideAlternative ? kNotePanelAfterStopAlways
                                                                   : kNotePanelAfterStop,
                          kept, considerModifierKeys);
    }
    return true;
}

bool ZRTimerControllerOSX::stopTiming(ZRCDTiming* timing, bool saveContext) {
    return stopTiming(timing, 0.0, kNoteOverrideNone, true, saveContext);
}

bool ZRTimerControllerOSX::stopTimings(const std::vector<ZRCDTiming*>& timings,
                                       double stopSecondsAgo, std::int64_t noteOverride,
                                       bool considerModifierKeys, bool saveContext) {
    if (timings.empty()) {
        playFunk();
        return false;
    }
    bool stopped = false;
    for (ZRCDTiming* timing : timings) {
        if (stopTiming(timing, stopSecondsAgo, noteOverride, considerModifierKeys, false))
            stopped = true;
    }
    if (saveContext)
        delegate_.saveContext(context());
    return stopped;
}

bool ZRTimerControllerOSX::stopTimings(const std::vector<ZRCDTiming*>& timings, bool saveContext) {
    return stopTimings(timings, 0.0, kNoteOverrideNone, true, saveContext);
}

bool ZRTimerControllerOSX::toggleTask(ZRCDTask* task, double stopSecondsAgo,
                                      std::int64_t noteOverride, bool considerModifierKeys,
                                      bool saveContext) {
    ManagedObjectContext& context = this->context();
    if (!isUsable(task, context)) {
        playFunk();
        return false;
    }
    if (!std::isfinite(stopSecondsAgo))
        return false;

    std::vector<ZRCDTiming*> own = runningTimingsOfTask(*task, context);
    if (own.size() == 1)
        return stopTiming(own.front(), stopSecondsAgo, noteOverride, considerModifierKeys,
                          saveContext);
    if (own.size() > 1) {
        context.processPendingChanges();
        UndoStep step(context, kUndoStopTimers);
        return stopTimings(own, stopSecondsAgo, noteOverride, considerModifierKeys, saveContext);
    }

    if (!task->childTasks().empty())
        return stopRunningTimingsBelow(task, stopSecondsAgo, noteOverride, considerModifierKeys,
                                       saveContext);
    // A timer cannot be started in the past.
    if (stopSecondsAgo != 0.0)
        return false;
    return startTimingForTask(task, noteOverride, considerModifierKeys, saveContext);
}

bool ZRTimerControllerOSX::toggleTask(ZRCDTask* task, bool saveContext) {
    return toggleTask(task, 0.0, kNoteOverrideNone, true, saveContext);
}

bool ZRTimerControllerOSX::stopRunningTimingsBelow(ZRCDTask* task, double stopSecondsAgo,
                                                   std::int64_t noteOverride,
                                                   bool considerModifierKeys, bool saveContext) {
    ManagedObjectContext& context = this->context();
    std::vector<ZRCDTiming*> below = ZRCDTiming::getRunningTimings_inContext(context);
    std::erase_if(below, [&](const ZRCDTiming* timing) { return !isBelow(timing->task(), *task); });
    if (below.empty())
        return false;

    UndoStep step(context, below.size() == 1 ? kUndoStopTimer : kUndoStopTimers);
    bool stopped = false;
    for (ZRCDTiming* timing : below) {
        if (stopTiming(timing, stopSecondsAgo, noteOverride, considerModifierKeys, false))
            stopped = true;
    }
    if (saveContext)
        delegate_.saveContext(context);
    return stopped;
}

bool ZRTimerControllerOSX::startTimingForTask(ZRCDTask* task, std::int64_t noteOverride,
                                              bool considerModifierKeys, bool saveContext) {
    ManagedObjectContext& context = this->context();
    const bool multipleTimers = allowsMultipleTimers();
    bool stoppedOthers = false;
    ZRCDTiming* started = nullptr;

    context.processPendingChanges();
    {
        UndoStep step(context, kUndoStartTimer);
        if (!multipleTimers) {
            // Switching tasks: the running timers end at the moment the new one starts, and the
            // whole switch is one step in the Edit menu.
            for (ZRCDTiming* running : ZRCDTiming::getRunningTimings_inContext(context)) {
                if (stopTiming(running, 0.0, noteOverride, considerModifierKeys, false))
                    stoppedOthers = true;
            }
            if (stoppedOthers)
                step.rename(kUndoStopAndStartTimer);
        }
        started = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
        if (saveContext)
            delegate_.saveContext(context);
    }
    if (!started)
        return false;

    // After the save, so that the immediate refresh of a running tick shows the new timer.
    startTimer();
    if (AddNotePanel* panel = delegate_.addNotePanel())
        panel->setTiming(started);

    if (noteOverride == kNoteOverrideNoPanel)
        return true;
    // The stop already asks for the panel; with a setting that opens it after stops, a second
    // request for the start would only replace the first.
    const std::int64_t showAddNote = showAddNoteSetting();
    if (stoppedOthers && (showAddNote == 1 || showAddNote == 3))
        return true;
    scheduleNotePanel(kNotePanelDelayAfterStart,
                      noteOverride == kNoteOverrideAlternative ? kNotePanelAfterStartAlways
                                                               : kNotePanelAfterStart,
                      started, considerModifierKeys);
    return true;
}

}  // namespace ravelong
