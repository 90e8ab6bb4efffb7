#include "menubar/ZRStackMenu.h"

#include <cmath>
#include <unordered_set>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "core/chain/TaskChain.h"
#include "core/durations/FormatPattern.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/Clock.h"
#include "foundation/UserDefaults.h"
#include "menubar/MenuBarTexts.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace texts = menu_bar_texts;
using Kind = StackMenuEntry::Kind;

namespace {

constexpr double kDaySeconds = 86400.0;
// Special entries offer between 11 seconds and just under 12 hours.
constexpr std::int64_t kSpecialMinimum = 11;
constexpr std::int64_t kSpecialMaximum = 43199;

StackMenuEntry entry(Kind kind, std::string title, std::string uuid = {}, std::int64_t tag = 0) {
    StackMenuEntry e;
    e.kind = kind;
    e.title = std::move(title);
    e.uuid = std::move(uuid);
    e.tag = tag;
    return e;
}

std::string keyEquivalentFor(std::size_t index) {
    if (index < 9)
        return std::to_string(index + 1);
    if (index == 9)
        return "0";
    return {};
}

// "Client ❯ Design": the path of names without the leading mark of the full name, which
// is meant for sorting lists, not for reading in a menu.
std::string menuNameOf(const ZRCDTask& task) {
    std::string name;
    for (const std::string& part : task.taskNameArray()) {
        if (!name.empty())
            name += " \u276F ";
        name += part;
    }
    return name;
}

int tierOf(const ZRCDTask& task) {
    int tier = 0;
    for (const ZRCDTask* parent = task.parentTask(); parent && tier < 8;
         parent = parent->parentTask())
        ++tier;
    return tier;
}

}  // namespace

ZRStackMenu::ZRStackMenu(ManagedObjectContext& context, const UserDefaults& defaults,
                         const Clock& clock)
    : context_(context), defaults_(defaults), clock_(clock) {}

const std::vector<int>& ZRStackMenu::fixedMinuteOffsets() {
    static const std::vector<int> offsets = {1, 2, 3, 5, 10, 15, 20, 30, 45, 60};
    return offsets;
}

std::vector<ZRStackMenu::Record> ZRStackMenu::getRunningTimingsAndMostRecentTasks_inContext(
    const ManagedObjectContext& context) {
    std::vector<Record> records;
    std::unordered_set<const ZRCDTask*> listed;
    for (ZRCDTiming* timing :
         ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context)) {
        records.emplace_back(timing);
        listed.insert(timing->task());
    }
    // A task whose timer is listed above would only offer the same stop a second time.
    for (ZRCDTask* task : ZRCDTask::getMostRecentTasks_inContext(context)) {
        if (!listed.contains(task))
            records.emplace_back(task);
    }
    return records;
}

std::optional<double> ZRStackMenu::secondsBetweenEndDateOfLatestTimingAndStartDateOfTiming(
    const ZRCDTiming& timing, const ManagedObjectContext& context, Instant now) {
    if (!timing.startDate())
        return std::nullopt;
    const ZRCDTiming* latest = nullptr;
    for (const ZRCDTiming* other : context.fetchAll<ZRCDTiming>()) {
        const std::optional<Instant> end = other->endDate();
        if (!end || !(*end<now&& * end> now - kDaySeconds))
            continue;
        if (!latest || *latest->endDate() < *end)
            latest = other;
    }
    if (!latest || !(*latest->endDate() < *timing.startDate()))
        return std::nullopt;
    return *timing.startDate() - *latest->endDate();
}

std::string ZRStackMenu::specialTitle(std::int64_t seconds, std::string_view ms, std::string_view s,
                                      std::string_view hms) {
    const auto value = static_cast<std::uint64_t>(std::max<std::int64_t>(seconds, 0));
    if (value >= 3600)
        return format_pattern::apply(hms, {value / 3600, (value % 3600) / 60, value % 60});
    if (value / 60 != 0)
        return format_pattern::apply(ms, {value / 60, value % 60});
    return format_pattern::apply(s, {value});
}

// Entry 1 moves the start to one second after the previous timing's end, entry 2 to one second
// after the last wake. Entry 2 is left out when the previous timing ended after that wake (entry 1
// goes back no further than the wake would): going back to the wake would overlap that timing.
std::vector<StackMenuEntry> ZRStackMenu::setupSetAheadSpecialMenuItemsForRunningTiming(
    const ZRCDTiming& timing, const SleepTimes& sleep) const {
    std::vector<StackMenuEntry> entries;
    const Instant now = clock_.now();
    const std::optional<Instant> start = timing.startDate();
    if (!start)
        return entries;
    std::optional<std::int64_t> endOffset;
    if (const std::optional<double> gap =
            secondsBetweenEndDateOfLatestTimingAndStartDateOfTiming(timing, context_, now)) {
        const auto g = static_cast<std::int64_t>(std::trunc(*gap));
        if (g >= kSpecialMinimum && g <= kSpecialMaximum) {
            endOffset = g - 1;
            entries.push_back(
                entry(Kind::moveStartBackBy,
                      specialTitle(*endOffset, texts::kEndOfLastTimingMS, texts::kEndOfLastTimingS,
                                   texts::kEndOfLastTimingHMS),
                      timing.uuid().value_or(""), *endOffset));
        }
    }
    if (sleep.lastWakeFromSleep) {
        const auto w = static_cast<std::int64_t>(std::trunc(*sleep.lastWakeFromSleep - *start));
        if (w >= -kSpecialMaximum && w <= -kSpecialMinimum && !(endOffset && *endOffset <= -w)) {
            const std::int64_t offset = -w - 1;
            entries.push_back(entry(
                Kind::moveStartBackBy,
                specialTitle(offset, texts::kLastWakeMS, texts::kLastWakeS, texts::kLastWakeHMS),
                timing.uuid().value_or(""), offset));
        }
    }
    return entries;
}

std::vector<StackMenuEntry> ZRStackMenu::setupStopTimerSpecialMenuItemsForRunningTiming(
    const ZRCDTiming& timing, const SleepTimes& sleep) const {
    std::vector<StackMenuEntry> entries;
    // Without timers running through sleep, a sleep stopped every timer already.
    if (!defaults_.boolForKey(kZRTimingWhenSleeping, true))
        return entries;
    const Instant now = clock_.now();
    const double elapsed = now - timing.startDate().value_or(now);
    auto add = [&](const std::optional<Instant>& when, std::string_view ms, std::string_view s,
                   std::string_view hms) {
        if (!when || !(*when < now))
            return;
        const auto ago = static_cast<std::int64_t>(std::trunc(now - *when));
        if (static_cast<double>(ago) < elapsed + 10.0)
            entries.push_back(entry(Kind::stopTimerAgo, specialTitle(ago, ms, s, hms),
                                    timing.uuid().value_or(""), ago));
    };
    add(sleep.lastPutToSleep, texts::kAgoLastSleepMS, texts::kAgoLastSleepS,
        texts::kAgoLastSleepHMS);
    add(sleep.lastWakeFromSleep, texts::kAgoLastWakeMS, texts::kAgoLastWakeS,
        texts::kAgoLastWakeHMS);
    return entries;
}

StackMenuEntry ZRStackMenu::timingEntry(const ZRCDTiming& timing, const SleepTimes& sleep,
                                        Instant now) const {
    const std::string uuid = timing.uuid().value_or("");
    const std::string name = timing.task() ? menuNameOf(*timing.task()) : std::string();
    StackMenuEntry e =
        entry(Kind::runningTiming,
              formatText(texts::kRunningTimingTitle,
                         {name, number_additions::getStringRepresentationOfSeconds_hm_roundDown(
                                    now - timing.startDate().value_or(now))}),
              uuid);

    const bool hasNote = timing.note() && !timing.note()->empty();
    e.submenu.push_back(
        entry(Kind::addNote,
              std::string(hasNote ? texts::kEditNoteOfTiming : texts::kAddNoteToTiming), uuid));
    e.submenu.push_back(entry(Kind::assignToTask, std::string(texts::kAssignToTask), uuid));

    StackMenuEntry back =
        entry(Kind::moveStartBack, std::string(texts::kMoveStartBackInTime), uuid);
    StackMenuEntry stop = entry(Kind::stopTimer, std::string(texts::kStopTimer), uuid);
    for (int minutes : fixedMinuteOffsets()) {
        const std::string count = std::to_string(minutes);
        back.submenu.push_back(entry(
            Kind::moveStartBackBy,
            minutes == 1 ? std::string(texts::kOneMinute) : formatText(texts::kMinutes, {count}),
            uuid, minutes * 60));
        stop.submenu.push_back(entry(Kind::stopTimerAgo,
                                     minutes == 1 ? std::string(texts::kOneMinuteAgo)
                                                  : formatText(texts::kMinutesAgo, {count}),
                                     uuid, minutes * 60));
    }
    std::vector<StackMenuEntry> specials =
        setupSetAheadSpecialMenuItemsForRunningTiming(timing, sleep);
    if (!specials.empty()) {
        back.submenu.push_back(entry(Kind::separator, {}));
        back.submenu.insert(back.submenu.end(), specials.begin(), specials.end());
    }
    specials = setupStopTimerSpecialMenuItemsForRunningTiming(timing, sleep);
    if (!specials.empty()) {
        stop.submenu.push_back(entry(Kind::separator, {}));
        stop.submenu.insert(stop.submenu.end(), specials.begin(), specials.end());
    }
    e.submenu.push_back(std::move(back));
    e.submenu.push_back(std::move(stop));
    e.submenu.push_back(entry(Kind::separator, {}));
    e.submenu.push_back(entry(Kind::deleteTiming, std::string(texts::kDeleteTimingAndStop), uuid));
    return e;
}

StackMenuEntry ZRStackMenu::undoEntry(bool redo) const {
    const ZRUndoManager* undo = context_.undoManager();
    const bool can = undo && (redo ? undo->canRedo() : undo->canUndo());
    const std::string name = can ? (redo ? undo->redoActionName() : undo->undoActionName()) : "";
    StackMenuEntry e =
        entry(redo ? Kind::redo : Kind::undo,
              name.empty() ? std::string(redo ? texts::kRedo : texts::kUndo)
                           : formatText(redo ? texts::kRedoNamed : texts::kUndoNamed, {name}));
    e.enabled = can;
    return e;
}

std::vector<StackMenuEntry> ZRStackMenu::createStackMenuWithRunningTimingsAndMostRecentTasks(
    const std::vector<Record>& records, const SleepTimes& sleep) const {
    const Instant now = clock_.now();
    std::vector<StackMenuEntry> menu;
    const bool timersRun = !records.empty() && std::holds_alternative<ZRCDTiming*>(records.front());
    StackMenuEntry heading =
        entry(Kind::heading,
              std::string(timersRun ? texts::kRunningTimersHeading : texts::kRecentTasksHeading));
    heading.enabled = false;
    menu.push_back(std::move(heading));

    std::size_t index = 0;
    for (const Record& record : records) {
        StackMenuEntry e;
        if (const auto* timing = std::get_if<ZRCDTiming*>(&record)) {
            if (!*timing)
                continue;
            e = timingEntry(**timing, sleep, now);
        } else {
            const ZRCDTask* task = std::get<ZRCDTask*>(record);
            if (!task)
                continue;
            e = entry(Kind::recentTask, menuNameOf(*task), task->uuid().value_or(""));
            e.alternateTitle = formatText(texts::kShowInTaskList, {task->taskName().value_or("")});
        }
        e.keyEquivalent = keyEquivalentFor(index++);
        menu.push_back(std::move(e));
    }

    menu.push_back(entry(Kind::separator, {}));
    menu.push_back(undoEntry(false));
    menu.push_back(undoEntry(true));
    menu.push_back(entry(Kind::separator, {}));
    menu.push_back(entry(Kind::showMainWindow, std::string(texts::kShowMainWindow)));
    menu.push_back(entry(Kind::quit, std::string(texts::kQuitRavelong)));
    return menu;
}

std::vector<StackMenuEntry> ZRStackMenu::menuWillOpen(const SleepTimes& sleep) const {
    return createStackMenuWithRunningTimingsAndMostRecentTasks(
        getRunningTimingsAndMostRecentTasks_inContext(context_), sleep);
}

std::vector<StackMenuEntry> ZRStackMenu::assignToTaskSubmenu(const std::string& timingUuid) const {
    std::vector<StackMenuEntry> menu;
    const ZRCDTiming* timing = ZRCDTiming::getCoreDataTimingWithUUID(timingUuid, context_);
    if (!timing || timing->isDeleted())
        return menu;
    auto target = [&](const ZRCDTask& task, std::string title) {
        StackMenuEntry e = entry(Kind::assignTarget, std::move(title));
        e.assignment = task.uuid().value_or("") + std::string(texts::kAssignSeparator) + timingUuid;
        e.enabled = task.childTasks().empty() && &task != timing->task();
        return e;
    };
    StackMenuEntry header = entry(Kind::assignHeader, std::string(texts::kRecentTasksHeader));
    header.enabled = false;
    menu.push_back(std::move(header));
    for (const ZRCDTask* task : ZRCDTask::getMostRecentTasks_inContext(context_))
        menu.push_back(target(*task, menuNameOf(*task)));
    menu.push_back(entry(Kind::separator, {}));
    for (const ZRCDTask* task : task_chain::sortArrayOfTasksByViewPosition(
             ZRCDTask::getAllUnarchivedTasks_inContext(context_), context_))
        menu.push_back(target(*task, std::string(static_cast<std::size_t>(tierOf(*task)) * 4, ' ') +
                                         task->taskName().value_or("")));
    return menu;
}

}  // namespace ravelong
