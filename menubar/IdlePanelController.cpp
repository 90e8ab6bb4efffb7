#include "menubar/IdlePanelController.h"

#include <cmath>

#include "app/PreferenceKeys.h"
#include "core/calendar/TimeStrings.h"
#include "core/chain/TaskChain.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AddNotePanel.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/TimingStop.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "menubar/AddNotePanelController.h"
#include "menubar/IdleTexts.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

// Seconds after opening before the put-away menu is filled, so the panel appears at once.
constexpr double kPutAwayFillDelay = 0.3;

class UndoGroup {
public:
    UndoGroup(ManagedObjectContext& context, std::string_view name) : undo_(context.undoManager()) {
        context.processPendingChanges();
        if (undo_) {
            undo_->beginUndoGrouping();
            undo_->setActionName(std::string(name));
        }
    }
    ~UndoGroup() {
        if (undo_)
            undo_->endUndoGrouping();
    }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    ZRUndoManager* undo_;
};

bool hasUnarchivedChild(const ZRCDTask& task) {
    for (const ZRCDTask* child : task.childTasks())
        if (!child->isArchived())
            return true;
    return false;
}

}  // namespace

IdlePanelController::IdlePanelController(ApplicationDelegate& delegate, UserDefaults& defaults,
                                         MainLoop& loop, Clock& clock, IdlePanelView& view)
    : delegate_(delegate), defaults_(defaults), loop_(loop), clock_(clock), view_(view) {}

IdlePanelController::~IdlePanelController() {
    if (fillTimer_)
        loop_.cancel(fillTimer_);
}

IdleResolution IdlePanelController::option() const {
    switch (defaults_.integerForKey(kZRIdleTimeResolve, 0)) {
        case 1:
            return IdleResolution::stopAndStart;
        case 2:
            return IdleResolution::stop;
        case 3:
            return IdleResolution::putAway;
        default:
            return IdleResolution::keep;
    }
}

bool IdlePanelController::resolveEnabled() const {
    return option() != IdleResolution::putAway || didSelectPutAwayTask_;
}

void IdlePanelController::showOption() {
    view_.showOption(option(), resolveEnabled());
}

void IdlePanelController::showIdleTimePanel(Instant idleSince) {
    if (!view_.isPanelVisible() || !dateWhenComputerWentIdle_) {
        openIdleTimePanel();
        dateWhenComputerWentIdle_ = idleSince;
    }
    const Instant since = *dateWhenComputerWentIdle_;
    const auto minutes = static_cast<std::int64_t>(std::trunc((clock_.now() - since) / 60.0));
    if (minutes < previousIdleTime_)
        return;
    const std::string at =
        date_additions::getTimeStringHoursAndMinutesInCurrentLocaleAndTimezone(since);
    view_.showTexts(
        IdlePanelTexts{fillPlaceholders(kIdleSinceText,
                                        {at, number_additions::getStringRepresentationOfMinutes_hm2(
                                                 static_cast<double>(minutes))}),
                       fillPlaceholders(kIdleStopOptionText, {at}),
                       fillPlaceholders(kIdleStopStartOptionText, {at})});
    previousIdleTime_ = minutes;
}

void IdlePanelController::openIdleTimePanel() {
    didSelectPutAwayTask_ = false;
    putAwayEnabled_ = false;
    previousIdleTime_ = 0;
    putAwayItems_ = {
        PutAwayItem{PutAwayItem::Kind::item, std::string(kSelectTaskItem), 0, false, std::nullopt}};
    selectedPutAwayItem_.reset();
    view_.showPutAwayMenu(putAwayItems_, selectedPutAwayItem_);
    showOption();
    view_.openPanel();
    if (fillTimer_)
        loop_.cancel(fillTimer_);
    fillTimer_ = loop_.runAfter(kPutAwayFillDelay, [this] {
        fillTimer_ = 0;
        populatePutAwayPopUpButton();
    });
}

void IdlePanelController::closeIdleTimePanel() {
    previousIdleTime_ = 0;
    dateWhenComputerWentIdle_.reset();
    if (fillTimer_) {
        loop_.cancel(fillTimer_);
        fillTimer_ = 0;
    }
    if (view_.isPanelVisible())
        view_.closePanel();
}

void IdlePanelController::addTaskItems(ZRCDTask* task, int level) {
    const std::string title = task->taskName().value_or("");
    if (task->childTasks().empty()) {
        putAwayItems_.push_back(
            PutAwayItem{PutAwayItem::Kind::item, title, level, true, task->uuid()});
        return;
    }
    // Three levels at most: a heading's children are leaves or (one level down) headings again.
    if (!hasUnarchivedChild(*task) || level >= 2)
        return;
    putAwayItems_.push_back(PutAwayItem{PutAwayItem::Kind::heading, title, level, false, {}});
    std::vector<ZRCDTask*> children;
    for (ZRCDTask* child : task->childTasks())
        if (!child->isArchived())
            children.push_back(child);
    for (ZRCDTask* child :
         task_chain::sortSetOfTasksByViewPosition(children, delegate_.managedObjectContext()))
        addTaskItems(child, level + 1);
}

void IdlePanelController::populatePutAwayPopUpButton() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    didSelectPutAwayTask_ = false;
    putAwayItems_.clear();
    selectedPutAwayItem_.reset();
    const PutAwayItem separator{PutAwayItem::Kind::separator, {}, 0, false, {}};
    putAwayItems_.push_back(
        PutAwayItem{PutAwayItem::Kind::item, std::string(kSelectTaskItem), 0, false, {}});
    putAwayItems_.push_back(separator);
    putAwayItems_.push_back(
        PutAwayItem{PutAwayItem::Kind::heading, std::string(kRecentTasksItem), 0, false, {}});
    for (ZRCDTask* task : ZRCDTask::getMostRecentTasks_inContext(context)) {
        std::string title;
        for (const std::string& part : taskNameComponents(task))
            title += (title.empty() ? "" : " \u276F ") + part;
        putAwayItems_.push_back(PutAwayItem{PutAwayItem::Kind::item, title, 0, true, task->uuid()});
    }
    putAwayItems_.push_back(separator);
    for (ZRCDTask* task : task_chain::sortArrayOfTasksByViewPosition(
             ZRCDTask::getAllUnarchivedTier1Tasks_inContext(context), context))
        addTaskItems(task, 0);

    const std::string remembered = defaults_.stringForKey(kZRIdleTimeAssignTask, "");
    const ZRCDTask* task =
        remembered.empty() ? nullptr : ZRCDTask::getCoreDataTaskWithUUID(remembered, context);
    if (task && task->childTasks().empty()) {
        for (std::size_t i = 0; i < putAwayItems_.size(); ++i) {
            if (putAwayItems_[i].enabled && putAwayItems_[i].uuid == remembered) {
                selectedPutAwayItem_ = i;
                break;
            }
        }
    }
    view_.showPutAwayMenu(putAwayItems_, selectedPutAwayItem_);
    if (selectedPutAwayItem_)
        didSelectPutAwayTask_ = true;
    putAwayEnabled_ = true;
    showOption();
}

void IdlePanelController::optionSelected(IdleResolution option) {
    defaults_.setInteger(kZRIdleTimeResolve, static_cast<int>(option));
    (void)defaults_.synchronize();  // failures are logged there
    showOption();
}

void IdlePanelController::popupButtonSelected(std::size_t index) {
    if (index >= putAwayItems_.size() || !putAwayItems_[index].enabled)
        return;
    selectedPutAwayItem_ = index;
    didSelectPutAwayTask_ = true;
    if (putAwayEnabled_) {
        defaults_.setInteger(kZRIdleTimeResolve, static_cast<int>(IdleResolution::putAway));
        (void)defaults_.synchronize();  // failures are logged there
    }
    showOption();
}

void IdlePanelController::resolveButtonClicked() {
    if (!resolveEnabled())
        return;
    const IdleResolution chosen = option();
    const std::optional<Instant> since = dateWhenComputerWentIdle_;
    closeIdleTimePanel();
    dateWhenComputerWentIdle_ = since;
    switch (chosen) {
        case IdleResolution::keep:
            break;
        case IdleResolution::stop:
            idleResolveStop();
            break;
        case IdleResolution::stopAndStart:
            idleResolveStopStart();
            break;
        case IdleResolution::putAway:
            idleResolvePutAway();
            break;
    }
    dateWhenComputerWentIdle_.reset();
}

std::vector<IdlePanelController::Stopped> IdlePanelController::stopRunningTimingsAtIdleStart() {
    std::vector<Stopped> stopped;
    const Instant idleStart = dateWhenComputerWentIdle_.value_or(clock_.now());
    for (ZRCDTiming* timing :
         ZRCDTiming::getRunningTimings_inContext(delegate_.managedObjectContext())) {
        stopped.push_back(Stopped{timing->task(), timing->origin(), timing});
        if (!timing_stop::stopThisTimingOn(*timing, idleStart))
            stopped.back().timing = nullptr;  // shorter than 10 seconds: deleted
    }
    return stopped;
}

void IdlePanelController::restart(const std::vector<Stopped>& stopped) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    for (const Stopped& item : stopped)
        ZRCDTiming::createRunningTimingNowForTask_andOriginObject(item.task, item.origin, context);
}

void IdlePanelController::afterResolution(int notePanelType, ZRCDTiming* timing) {
    if (AddNotePanel* panel = delegate_.addNotePanel())
        panel->openAddTimingNotePanelWithType(notePanelType, timing, true);
    if (defaults_.boolForKey(kZRShowTimeInStatusIcon, false))
        if (StatusItemTime* item = delegate_.statusItemTime())
            item->updateTime();
}

void IdlePanelController::idleResolveStop() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    const std::size_t running = ZRCDTiming::numberOfRunningTimings_inContext(context);
    if (running == 0)
        return;
    std::vector<Stopped> stopped;
    {
        UndoGroup group(context, running == 1 ? kUndoAddTiming : kUndoAddTimings);
        stopped = stopRunningTimingsAtIdleStart();
        delegate_.saveContext(context);
    }
    afterResolution(3, stopped.front().timing);
}

void IdlePanelController::idleResolveStopStart() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    const std::size_t running = ZRCDTiming::numberOfRunningTimings_inContext(context);
    if (running == 0)
        return;
    std::vector<Stopped> stopped;
    {
        UndoGroup group(context,
                        running == 1 ? kUndoStopAndRestartTiming : kUndoStopAndRestartTimings);
        stopped = stopRunningTimingsAtIdleStart();
        restart(stopped);
        delegate_.saveContext(context);
    }
    afterResolution(4, stopped.front().timing);
}

void IdlePanelController::idleResolvePutAway() {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    const std::size_t running = ZRCDTiming::numberOfRunningTimings_inContext(context);
    if (running == 0)
        return;
    ZRCDTiming* idleTiming = nullptr;
    {
        UndoGroup group(context, running == 1 ? kUndoPutAwayTiming : kUndoPutAwayTimings);
        const std::vector<Stopped> stopped = stopRunningTimingsAtIdleStart();
        const std::optional<std::string> uuid =
            selectedPutAwayItem_ ? putAwayItems_[*selectedPutAwayItem_].uuid : std::nullopt;
        ZRCDTask* task = uuid ? ZRCDTask::getCoreDataTaskWithUUID(*uuid, context) : nullptr;
        if (task && task->childTasks().empty() && dateWhenComputerWentIdle_) {
            idleTiming = ZRCDTiming::createCoreDataTimingWithStartDate(
                *dateWhenComputerWentIdle_, clock_.now(), task, std::nullopt, 0, std::nullopt,
                context);
            if (idleTiming) {
                defaults_.setString(kZRIdleTimeAssignTask, *uuid);
                (void)defaults_.synchronize();  // failures are logged there
            }
        }
        restart(stopped);
        delegate_.saveContext(context);
    }
    afterResolution(3, idleTiming);
}

}  // namespace ravelong
