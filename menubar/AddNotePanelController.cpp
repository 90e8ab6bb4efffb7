#include "menubar/AddNotePanelController.h"

#include <algorithm>

#include "core/calendar/TimeStrings.h"
#include "core/calendar/TimeZones.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/ApplicationDelegate.h"
#include "core/timer/TimerTexts.h"
#include "foundation/UserDefaults.h"
#include "menubar/IdleTexts.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

constexpr std::string_view kNameSeparator = " \u276F ";

std::string hoursAndMinutes(const ZRCDTiming& timing, Instant date) {
    return date_additions::getTimeStringHoursAndMinutesInTimeZone(
        date, *zones::named(timing.timezone().value_or("")));
}

AddNoteListEntry entryFor(ZRCDTiming* timing) {
    AddNoteListEntry entry;
    entry.timing = timing;
    entry.nameComponents = taskNameComponents(timing->task());
    const std::string start = hoursAndMinutes(*timing, timing->startDate().value_or(0.0));
    entry.suffix =
        timing->running()
            ? fillPlaceholders(kRunningTimingSuffix, {start})
            : fillPlaceholders(kEndedTimingSuffix,
                               {start, hoursAndMinutes(*timing, timing->endDate().value_or(0.0))});
    return entry;
}

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

}  // namespace

std::vector<std::string> taskNameComponents(const ZRCDTask* task) {
    std::vector<std::string> names;
    for (; task; task = task->parentTask())
        names.push_back(task->taskName().value_or(""));
    std::reverse(names.begin(), names.end());
    return names;
}

bool shouldOpenAddNotePanel(int type, std::int64_t showAddNote, bool inverting) {
    const bool afterStop = showAddNote == 1 || showAddNote == 3;
    const bool afterStart = showAddNote == 2 || showAddNote == 3;
    switch (type) {
        case 1:
        case kNotePanelAfterStartAlways:
        case kNotePanelAfterStopAlways:
            return true;
        case kNotePanelAfterStart:
            return afterStart != inverting;
        case kNotePanelAfterStop:
            return afterStop != inverting;
        case 4:
            return (afterStart || afterStop) != inverting;
        default:
            return false;
    }
}

std::string shortenedTaskName(const std::vector<std::string>& components,
                              const std::function<bool(const std::string&)>& fits) {
    for (std::size_t first = 0; first < components.size(); ++first) {
        std::string text;
        for (std::size_t i = first; i < components.size(); ++i) {
            if (i > first)
                text += kNameSeparator;
            text += components[i];
        }
        if (fits(text) || first + 1 == components.size())
            return text;
    }
    return {};
}

AddNotePanelController::AddNotePanelController(ApplicationDelegate& delegate,
                                               UserDefaults& defaults, AddNotePanelView& view)
    : delegate_(delegate), defaults_(defaults), view_(view) {}

ZRCDTiming* AddNotePanelController::timing() const {
    return timing_ && !timing_->isDeleted() ? timing_ : nullptr;
}

void AddNotePanelController::openAddTimingNotePanelWithType(int type, ZRCDTiming* timing,
                                                            bool considerModifierKeys) {
    const bool inverting = considerModifierKeys && view_.invertingInputHeld();
    if (!shouldOpenAddNotePanel(type, defaults_.integerForKey(kZRShowAddNoteToTiming, 0),
                                inverting))
        return;
    updatePopUpButtonWithPreferredTiming(timing ? timing : this->timing());
    if (view_.isPanelVisible())
        view_.bringPanelToFront();
    else
        view_.openPanel();
}

void AddNotePanelController::updatePopUpButtonWithPreferredTiming(ZRCDTiming* preferred) {
    ManagedObjectContext& context = delegate_.managedObjectContext();
    entries_.clear();
    for (ZRCDTiming* timing : ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context))
        entries_.push_back(entryFor(timing));
    for (ZRCDTiming* timing :
         ZRCDTiming::getRecentlyEndedTimingsSortedByLastEndTime_inContext(context))
        entries_.push_back(entryFor(timing));
    entries_.push_back(AddNoteListEntry{nullptr, {}, std::string(kNoTimingEntry)});
    std::size_t selected = entries_.size() - 1;
    for (std::size_t i = 0; preferred && i + 1 < entries_.size(); ++i) {
        if (entries_[i].timing == preferred) {
            selected = i;
            break;
        }
    }
    timing_ = entries_[selected].timing;
    view_.showTimingList(entries_, selected);
}

void AddNotePanelController::selectEntry(std::size_t index) {
    if (index < entries_.size())
        timing_ = entries_[index].timing;
}

bool AddNotePanelController::commitNote(const std::string& text) {
    ZRCDTiming* target = timing();
    if (!target)
        return false;
    std::optional<std::string> note;
    if (!isBlank(text))
        note = text;
    if (target->note() == note)
        return false;
    ManagedObjectContext& context = delegate_.managedObjectContext();
    ZRUndoManager* undo = context.undoManager();
    context.processPendingChanges();
    if (undo) {
        undo->beginUndoGrouping();
        undo->setActionName(std::string(kUndoEditTimingNotes));
    }
    target->setNote(note);
    delegate_.saveContext(context);
    if (undo)
        undo->endUndoGrouping();
    return true;
}

}  // namespace ravelong
