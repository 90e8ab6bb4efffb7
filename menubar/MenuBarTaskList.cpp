#include "menubar/MenuBarTaskList.h"

#include <algorithm>
#include <unordered_set>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/NewDayHour.h"
#include "core/chain/TaskTree.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/UndoSuppression.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/StatusItemTime.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "core/totals/TaskTotals.h"
#include "core/tree/MenuBarSearchUpdater.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "menubar/TaskListTexts.h"

namespace ravelong {

namespace {

constexpr double kNewDayDelay = 2.0;
// Waiting this long after the search text was cleared lets the list settle before a row is shown.
constexpr double kRevealDelay = 0.2;
constexpr int kWidePanel = 400;

bool hasUnarchivedChildren(const ZRCDTask& task) {
    for (const ZRCDTask* child : task.childTasks())
        if (!child->isArchived())
            return true;
    return false;
}

bool hasExpandedChildren(const ZRCDTask& task) {
    for (const ZRCDTask* child : task.childTasks())
        if (!child->isArchived() && child->isVisibleInMenuBar())
            return true;
    return false;
}

}  // namespace

MenuBarTaskList::MenuBarTaskList(Services services)
    : services_(services),
      searchUpdater_(std::make_unique<MenuBarSearchUpdater>(
          services.delegate.managedObjectContext(),
          [this](const std::vector<ZRCDTask*>& tasks) { listTasks(tasks); })) {
    observe(kZRTimeUpdate, [this](const Notification&) { refreshRunningRows(); });
    observe(kMenuBarCustomDurationChanged,
            [this](const Notification&) { recomputePeriodTotals(); });
    observe(kReloadMenuBarPanelTable, [this](const Notification&) { reload(); });
    observe(kMenuBarTableViewNeedsToReloadAfterNewDayBegun,
            [this](const Notification&) { reload(); });
    observe(kMenuBarTableViewNeedsToReloadConcernedRows, [this](const Notification& note) {
        if (const auto* rows = note.value<std::vector<int>>(std::string(kConcernedRowsKey)))
            reloadConcernedRows(*rows);
        else
            reload();
    });
    observe(kMenuBarShowTaskDescriptionUnderTaskNameChanged, [this](const Notification&) {
        if (listener_.listReloaded)
            listener_.listReloaded();
    });
    observe(kZRNewDayChanged, [this](const Notification&) { armNewDayTimer(); });
    observe(kZRRecentTaskClicked, [this](const Notification& note) { recentTaskClicked(note); });
    observe(kZRRecentTaskAlternateClicked,
            [this](const Notification& note) { recentTaskAlternateClicked(note); });
    armNewDayTimer();
}

MenuBarTaskList::~MenuBarTaskList() {
    for (NotificationCenter::ObserverId id : observers_)
        services_.notifications.removeObserver(id);
    if (newDayTimer_)
        services_.loop.cancel(newDayTimer_);
}

void MenuBarTaskList::observe(std::string_view name, NotificationCenter::Callback callback) {
    observers_.push_back(
        services_.notifications.addObserver(std::string(name), nullptr, std::move(callback)));
}

ManagedObjectContext& MenuBarTaskList::context() const {
    return services_.delegate.managedObjectContext();
}

void MenuBarTaskList::refuse() const {
    if (AlertSound* sound = services_.delegate.alertSound())
        sound->playSound(kFunkSound);
}

bool MenuBarTaskList::excludeArchived() const {
    return services_.defaults.boolForKey(kZRExcludeArchivedTimesInMenuBar);
}

int MenuBarTaskList::cutoffHour() const {
    if (const ZRCDPreferences* preferences = services_.delegate.cdPreferences())
        return std::clamp(static_cast<int>(preferences->newDay()), 0, 23);
    return new_day_hour::current();
}

// --- Rows ---

ZRCDTask* MenuBarTaskList::taskAtRow(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    ZRCDTask* task =
        ZRCDTask::getCoreDataTaskWithUUID(rows_[static_cast<std::size_t>(row)].uuid, context());
    return task && !task->isDeleted() ? task : nullptr;
}

int MenuBarTaskList::rowOfTask(const ZRCDTask* task) const {
    if (!task || !task->uuid())
        return -1;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].uuid == *task->uuid())
            return static_cast<int>(i);
    return -1;
}

void MenuBarTaskList::reload() {
    // The updater calls listTasks with the tasks listed under the stored search text.
    searchUpdater_->update();
}

void MenuBarTaskList::listTasks(const std::vector<ZRCDTask*>& tasks) {
    std::vector<MenuBarTaskRow> rows;
    computeRows(tasks, rows);
    rows_ = std::move(rows);
    std::erase_if(selectedRows_, [this](int row) { return row >= rowCount(); });
    if (listener_.listReloaded)
        listener_.listReloaded();
}

void MenuBarTaskList::computeRows(const std::vector<ZRCDTask*>& tasks,
                                  std::vector<MenuBarTaskRow>& rows) const {
    // A row runs when its task or one of its descendants runs: mark the running tasks' ancestors.
    std::unordered_set<const ZRCDTask*> running;
    for (const ZRCDTask* task : ZRCDTask::getTasksThatHaveRunningTimings_inContext(context())) {
        int steps = 0;
        for (const ZRCDTask* t = task; t && steps < 4 && running.insert(t).second;
             t = t->parentTask())
            ++steps;
    }
    const bool searching = searchActive();
    const std::vector<task_totals::MenuBarTotals> totals = task_totals::getMenuBarTotals(
        tasks, static_cast<std::int64_t>(period()), excludeArchived());

    rows.clear();
    rows.reserve(tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const ZRCDTask& task = *tasks[i];
        MenuBarTaskRow row;
        row.uuid = task.uuid().value_or("");
        row.name = task.taskName().value_or("");
        row.description = task.taskDescription().value_or("");
        row.color = task.getTaskColor();
        row.tier = task_tree::numberOfAncestorTiers(&task);
        row.leaf = task.childTasks().empty();
        // While searching every match is listed with its ancestors: nothing to fold.
        if (!searching && hasUnarchivedChildren(task))
            row.disclosure = hasExpandedChildren(task) ? MenuBarTaskRow::Disclosure::expanded
                                                       : MenuBarTaskRow::Disclosure::collapsed;
        row.running = running.contains(&task);
        row.periodTotal = totals[i].periodTotal;
        row.totalEver = totals[i].totalEver;
        updateTexts(row);
        rows.push_back(std::move(row));
    }
}

void MenuBarTaskList::updateTexts(MenuBarTaskRow& row) const {
    if (panelWidth_ == kWidePanel) {
        row.periodTotalText = number_additions::
            getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundNearest(
                row.periodTotal);
        row.totalEverText = number_additions::
            getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt1000_roundNearest(
                row.totalEver);
    } else {
        row.periodTotalText = number_additions::
            getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest(
                row.periodTotal);
        row.totalEverText = number_additions::
            getStringRepresentationOfSecondsInHoursAndMinutes_hm_truncAt100_roundNearest(
                row.totalEver);
    }
}

void MenuBarTaskList::reloadConcernedRows(const std::vector<int>& rows) {
    std::vector<ZRCDTask*> tasks;
    for (int row : rows) {
        ZRCDTask* task = taskAtRow(row);
        // A row that is gone, or a task no longer listed, changes the list itself.
        if (!task || task->isArchived()) {
            reload();
            return;
        }
        tasks.push_back(task);
    }
    std::vector<MenuBarTaskRow> fresh;
    computeRows(tasks, fresh);
    std::vector<int> changed;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        MenuBarTaskRow& current = rows_[static_cast<std::size_t>(rows[i])];
        if (current != fresh[i]) {
            current = std::move(fresh[i]);
            changed.push_back(rows[i]);
        }
    }
    if (!changed.empty() && listener_.rowsChanged)
        listener_.rowsChanged(changed);
}

std::vector<int> MenuBarTaskList::refreshRunningRows() {
    std::vector<int> runningRows;
    std::vector<ZRCDTask*> tasks;
    for (int row = 0; row < rowCount(); ++row) {
        if (!rows_[static_cast<std::size_t>(row)].running)
            continue;
        if (ZRCDTask* task = taskAtRow(row)) {
            runningRows.push_back(row);
            tasks.push_back(task);
        }
    }
    std::vector<int> changed;
    if (tasks.empty())
        return changed;
    const std::vector<task_totals::MenuBarTotals> totals = task_totals::getMenuBarTotals(
        tasks, static_cast<std::int64_t>(period()), excludeArchived());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        MenuBarTaskRow& row = rows_[static_cast<std::size_t>(runningRows[i])];
        const std::string periodBefore = row.periodTotalText;
        const std::string everBefore = row.totalEverText;
        row.periodTotal = totals[i].periodTotal;
        row.totalEver = totals[i].totalEver;
        updateTexts(row);
        // Seconds that do not change a shown minute need no redraw.
        if (row.periodTotalText != periodBefore || row.totalEverText != everBefore)
            changed.push_back(runningRows[i]);
    }
    if (!changed.empty() && listener_.rowsChanged)
        listener_.rowsChanged(changed);
    return changed;
}

void MenuBarTaskList::recomputePeriodTotals() {
    std::vector<ZRCDTask*> tasks;
    tasks.reserve(rows_.size());
    for (int row = 0; row < rowCount(); ++row) {
        ZRCDTask* task = taskAtRow(row);
        if (!task) {
            reload();
            return;
        }
        tasks.push_back(task);
    }
    const std::vector<task_totals::MenuBarTotals> totals = task_totals::getMenuBarTotals(
        tasks, static_cast<std::int64_t>(period()), excludeArchived());
    std::vector<int> all;
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        rows_[i].periodTotal = totals[i].periodTotal;
        updateTexts(rows_[i]);
        all.push_back(static_cast<int>(i));
    }
    if (!all.empty() && listener_.rowsChanged)
        listener_.rowsChanged(all);
}

// --- Period and form ---

MenuBarPeriod MenuBarTaskList::period() const {
    return menu_bar_period::fromStored(services_.defaults.integerForKey(kZRMenuBarCustomDuration));
}

void MenuBarTaskList::stepPeriod() {
    services_.defaults.setInteger(kZRMenuBarCustomDuration,
                                  static_cast<std::int64_t>(menu_bar_period::next(period())));
    (void)services_.defaults.synchronize();  // a failure is logged there; the value stays set
    services_.notifications.post(std::string(kMenuBarCustomDurationChanged));
}

void MenuBarTaskList::setPanelWidth(int points) {
    if (points == panelWidth_)
        return;
    const bool formChanges = (points == kWidePanel) != (panelWidth_ == kWidePanel);
    panelWidth_ = points;
    if (!formChanges)
        return;
    for (MenuBarTaskRow& row : rows_)
        updateTexts(row);
    if (listener_.listReloaded)
        listener_.listReloaded();
}

// --- Search ---

void MenuBarTaskList::setSearchTerm(std::string_view text) {
    searchUpdater_->setSearchTerm(text);
}

void MenuBarTaskList::clearSearchTerm() {
    searchUpdater_->clearSearchTerm();
}

std::string MenuBarTaskList::searchTerm() const {
    return services_.defaults.stringForKey(kZRMenuBarSearchTerm);
}

bool MenuBarTaskList::searchActive() const {
    return !MenuBarSearchUpdater::normalizedSearchTerm(searchTerm()).empty();
}

// --- Selection and actions ---

void MenuBarTaskList::setSelectedRows(std::vector<int> rows) {
    std::erase_if(rows, [this](int row) { return row < 0 || row >= rowCount(); });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selectedRows_ = std::move(rows);
}

bool MenuBarTaskList::toggleTimerOfSelectedTask() {
    if (selectedRows_.size() != 1) {
        refuse();
        return false;
    }
    return toggleTimerOfRow(selectedRows_.front());
}

bool MenuBarTaskList::toggleTimerOfRow(int row) {
    ZRCDTask* task = taskAtRow(row);
    if (!task || !task->childTasks().empty() || !services_.timerController) {
        refuse();
        return false;
    }
    const bool toggled = services_.timerController->toggleTask(task, true);
    reload();
    return toggled;
}

bool MenuBarTaskList::toggleChildrenDisclosureOfRow(int row) {
    ZRCDTask* task = taskAtRow(row);
    if (!task ||
        rows_[static_cast<std::size_t>(row)].disclosure == MenuBarTaskRow::Disclosure::none) {
        refuse();
        return false;
    }
    {
        // Folding is a view state kept in the records: not an undo step.
        ScopedUndoRegistrationOff undoOff(context());
        if (hasExpandedChildren(*task)) {
            for (ZRCDTask* descendant : task_tree::descendants(task))
                if (descendant->isVisibleInMenuBar())
                    descendant->setIsVisibleInMenuBar(false);
        } else {
            for (ZRCDTask* child : task->childTasks())
                if (!child->isArchived() && !child->isVisibleInMenuBar())
                    child->setIsVisibleInMenuBar(true);
        }
        context().processPendingChanges();
    }
    (void)services_.delegate.saveContext(context());
    reload();
    return true;
}

int MenuBarTaskList::insertRowForTask(ZRCDTask* task, int row) {
    if (!task || task->isDeleted() || row < 0 || row > rowCount())
        return -1;
    if (const int listed = rowOfTask(task); listed >= 0)
        return listed;
    std::vector<MenuBarTaskRow> fresh;
    computeRows({task}, fresh);
    rows_.insert(rows_.begin() + row, std::move(fresh.front()));
    for (int& selected : selectedRows_)
        selected += selected >= row ? 1 : 0;
    if (listener_.listReloaded)
        listener_.listReloaded();
    return row;
}

int MenuBarTaskList::revealTask(ZRCDTask* task) {
    if (!task || task->isDeleted() || task->isArchived())
        return -1;
    if (searchActive())
        clearSearchTerm();
    {
        ScopedUndoRegistrationOff undoOff(context());
        bool changed = false;
        for (ZRCDTask* ancestor = task->parentTask(); ancestor; ancestor = ancestor->parentTask()) {
            for (ZRCDTask* child : ancestor->childTasks()) {
                if (!child->isArchived() && !child->isVisibleInMenuBar()) {
                    child->setIsVisibleInMenuBar(true);
                    changed = true;
                }
            }
            if (task_tree::numberOfAncestorTiers(ancestor) == 0)
                break;
        }
        if (!task->isVisibleInMenuBar()) {
            task->setIsVisibleInMenuBar(true);
            changed = true;
        }
        context().processPendingChanges();
        if (changed)
            (void)services_.delegate.saveContext(context());
    }
    reload();
    return rowOfTask(task);
}

// --- Tray menu entries ---

ZRCDTask* MenuBarTaskList::recentEntryTask(const Notification& note) const {
    if (const auto* task = note.value<ZRCDTask*>(std::string(kRecentTaskObjectKey)))
        return *task && !(*task)->isDeleted() ? *task : nullptr;
    if (const auto* uuid = note.value<std::string>(std::string(kRecentTaskUuidKey)))
        return ZRCDTask::getCoreDataTaskWithUUID(*uuid, context());
    return nullptr;
}

void MenuBarTaskList::recentTaskClicked(const Notification& note) {
    if (const auto* timing = note.value<ZRCDTiming*>(std::string(kRecentTaskObjectKey))) {
        if (!*timing || (*timing)->isDeleted() || !services_.timerController) {
            refuse();
            return;
        }
        (void)services_.timerController->stopTiming(*timing, true);
        reload();
        return;
    }
    ZRCDTask* task = recentEntryTask(note);
    if (!task || !task->childTasks().empty() || !services_.timerController) {
        refuse();
        return;
    }
    (void)services_.timerController->toggleTask(task, true);
    reload();
}

void MenuBarTaskList::recentTaskAlternateClicked(const Notification& note) {
    ZRCDTask* task = recentEntryTask(note);
    if (!task) {
        refuse();
        return;
    }
    const std::string uuid = task->uuid().value_or("");
    auto reveal = [this, uuid] {
        ZRCDTask* found = ZRCDTask::getCoreDataTaskWithUUID(uuid, context());
        const int row = revealTask(found);
        if (row < 0)
            return;
        setSelectedRows({row});
        if (listener_.rowRevealed)
            listener_.rowRevealed(row);
    };
    if (searchActive()) {
        clearSearchTerm();
        services_.loop.runAfter(kRevealDelay, reveal);
    } else {
        reveal();
    }
}

// --- New-day timer ---

void MenuBarTaskList::armNewDayTimer() {
    if (newDayTimer_)
        services_.loop.cancel(newDayTimer_);
    const Instant now = services_.clock.now();
    newDayFireDate_ = date_additions::endOfDayWithHourCutoff(now, cutoffHour()) + kNewDayDelay;
    newDayTimer_ = services_.loop.runAfter(newDayFireDate_ - now, [this] {
        newDayTimer_ = 0;
        newDayBegan();
    });
}

void MenuBarTaskList::newDayBegan() {
    services_.notifications.post(std::string(kReloadMenuBarPanelTable));
    services_.notifications.post(std::string(kMenuBarNeedsToReloadTotalTime));
    if (StatusItemTime* item = services_.delegate.statusItemTime())
        item->updateTime();
    armNewDayTimer();
}

}  // namespace ravelong
