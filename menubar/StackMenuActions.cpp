#include "menubar/StackMenuActions.h"

#include <cmath>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AddNotePanel.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/TimingStop.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/NotificationCenter.h"
#include "menubar/MenuBarTexts.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace texts = menu_bar_texts;

namespace {

// One named undo step for as long as it lives; nothing without an undo manager.
class UndoStep {
public:
    UndoStep(ManagedObjectContext& context, std::string name) : undo_(context.undoManager()) {
        if (!undo_)
            return;
        undo_->beginUndoGrouping();
        undo_->setActionName(std::move(name));
    }
    ~UndoStep() {
        if (undo_)
            undo_->endUndoGrouping();
    }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    ZRUndoManager* undo_;
};

template <class T>
bool isLive(const T* record, const ManagedObjectContext& context) {
    return record && !record->isDeleted() && record->managedObjectContext() == &context;
}

ZRCDTiming* findTiming(const std::string& uuid, ManagedObjectContext& context) {
    if (uuid.empty())
        return nullptr;
    ZRCDTiming* timing = ZRCDTiming::getCoreDataTimingWithUUID(uuid, context);
    return isLive(timing, context) ? timing : nullptr;
}

ZRCDTask* findTask(const std::string& uuid, ManagedObjectContext& context) {
    if (uuid.empty())
        return nullptr;
    ZRCDTask* task = ZRCDTask::getCoreDataTaskWithUUID(uuid, context);
    return isLive(task, context) ? task : nullptr;
}

}  // namespace

StackMenuActions::StackMenuActions(ApplicationDelegate& delegate, ZRTimerControllerOSX& timer,
                                   NotificationCenter& center)
    : delegate_(delegate), timer_(timer), center_(center) {}

bool StackMenuActions::refuse() {
    if (AlertSound* sound = delegate_.alertSound())
        sound->playSound(kFunkSound);
    return false;
}

bool StackMenuActions::save() {
    return delegate_.saveContext(delegate_.managedObjectContext());
}

bool StackMenuActions::setTimerAhead(const std::string& timingUuid, std::int64_t seconds) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    ZRCDTiming* timing = findTiming(timingUuid, context);
    if (!timing || seconds <= 0 || !timing->startDate())
        return refuse();
    context.processPendingChanges();
    std::string name(texts::kUndoMoveStartBack);
    name.replace(name.find("%ld"), 3, std::to_string(seconds / 60));
    ZRCDTiming* moved = nullptr;
    {
        UndoStep step(context, std::move(name));
        moved = timing_stop::setStartDateTo(
            *timing, *timing->startDate() - static_cast<double>(seconds), false);
    }
    if (!moved)
        return refuse();
    save();
    center_.post(std::string(kZRTimeUpdate));
    return true;
}

bool StackMenuActions::stopTimerXMinutesAgo(const std::string& timingUuid, std::int64_t seconds) {
    ZRCDTiming* timing = findTiming(timingUuid, delegate_.managedObjectContext());
    if (!timing || !timing->running() || seconds < 0)
        return refuse();
    return timer_.stopTiming(timing, static_cast<double>(seconds), kNoteOverrideNone, true, true);
}

bool StackMenuActions::deleteTimingStop(const std::string& timingUuid) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    ZRCDTiming* timing = findTiming(timingUuid, context);
    if (!timing || !timing->running())
        return refuse();
    {
        UndoStep step(context, std::string(texts::kUndoDeleteTiming));
        ZRCDTiming::deleteTimingAndUpdateTimingSets(timing, context);
    }
    context.processPendingChanges();
    save();
    return true;
}

bool StackMenuActions::assignTask(const std::string& assignment) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    const std::size_t separator = assignment.find(texts::kAssignSeparator);
    if (separator == std::string::npos)
        return refuse();
    ZRCDTask* task = findTask(assignment.substr(0, separator), context);
    ZRCDTiming* timing =
        findTiming(assignment.substr(separator + texts::kAssignSeparator.size()), context);
    if (!task || !timing || !task->childTasks().empty() || timing->task() == task)
        return refuse();
    {
        UndoStep step(context, std::string(texts::kUndoAssignTask));
        timing->setTask(task);
    }
    save();
    return true;
}

bool StackMenuActions::addNoteMenuItemClicked(const std::string& timingUuid) {
    ZRCDTiming* timing = findTiming(timingUuid, delegate_.managedObjectContext());
    AddNotePanel* panel = delegate_.addNotePanel();
    if (!timing || !panel)
        return refuse();
    panel->setTiming(timing);
    panel->openAddTimingNotePanelWithType(kNotePanelAfterStartAlways, timing, false);
    return true;
}

bool StackMenuActions::recentTaskClicked(const std::string& uuid) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    UserInfo info{{std::string(texts::kUserInfoUuid), uuid}};
    if (ZRCDTiming* timing = findTiming(uuid, context)) {
        info[std::string(texts::kUserInfoIsTiming)] = true;
        center_.post(std::string(texts::kZRRecentTaskClicked), timing, std::move(info));
        return true;
    }
    if (ZRCDTask* task = findTask(uuid, context)) {
        info[std::string(texts::kUserInfoIsTiming)] = false;
        center_.post(std::string(texts::kZRRecentTaskClicked), task, std::move(info));
        return true;
    }
    return refuse();
}

bool StackMenuActions::recentTaskAlternateClicked(const std::string& taskUuid) {
    ZRCDTask* task = findTask(taskUuid, delegate_.managedObjectContext());
    if (!task)
        return refuse();
    center_.post(std::string(texts::kZRRecentTaskAlternateClicked), task,
                 UserInfo{{std::string(texts::kUserInfoUuid), taskUuid}});
    return true;
}

bool StackMenuActions::undo() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    ZRUndoManager* manager = context.undoManager();
    context.processPendingChanges();
    if (!manager || !manager->canUndo())
        return refuse();
    manager->undo();
    save();
    return true;
}

bool StackMenuActions::redo() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    ZRUndoManager* manager = context.undoManager();
    context.processPendingChanges();
    if (!manager || !manager->canRedo())
        return refuse();
    manager->redo();
    save();
    return true;
}

}  // namespace ravelong
