#include "core/totals/TaskRounding.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "core/model/ContextSaving.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/RoundingRule.h"
#include "core/totals/TimingSetTotals.h"
#include "core/totals/TotalsTexts.h"
#include "foundation/NotificationCenter.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

namespace ravelong::task_totals {

namespace {

using rounding_rule::roundingMinutes;
using rounding_rule::roundingType;

// The tree has three tiers; the bound also ends the walk in a damaged store whose parents loop.
constexpr int kMaxTreeDepth = 4;

// f(ZRCDTask&) for the children, grandchildren and so on, each before its own children.
template <class F>
void forEachDescendant(const ZRCDTask& task, F&& f, int depth = 0) {
    if (depth >= kMaxTreeDepth)
        return;
    for (ZRCDTask* child : task.childTasks()) {
        f(*child);
        forEachDescendant(*child, f, depth + 1);
    }
}

template <class F>
bool anyDescendant(const ZRCDTask& task, F&& predicate) {
    bool found = false;
    forEachDescendant(task,
                      [&](const ZRCDTask& descendant) { found = found || predicate(descendant); });
    return found;
}

void recalculateRoundedDurations(ZRCDTask& task) {
    for (ZRCDTimingSet* set : task.timingSets())
        timing_set_totals::recalculateRoundedDuration(*set);
}

// One named undo step around a change, saved afterwards, then the views told.
class RoundingChange {
public:
    RoundingChange(ZRCDTask& task, std::string_view actionName)
        : context_(task.managedObjectContext()),
          undoManager_(context_ ? context_->undoManager() : nullptr) {
        if (undoManager_) {
            undoManager_->beginUndoGrouping();
            undoManager_->setActionName(std::string(actionName));
        }
    }
    ~RoundingChange() {
        if (undoManager_)
            undoManager_->endUndoGrouping();
        if (!context_)
            return;
        saveThroughDelegateLoggingFailure(*context_, "setRounding");
        NotificationCenter::defaultCenter().post(std::string(kZRRoundingModified));
    }
    RoundingChange(const RoundingChange&) = delete;
    RoundingChange& operator=(const RoundingChange&) = delete;

private:
    ManagedObjectContext* context_;
    ZRUndoManager* undoManager_;
};

std::string withMinutes(std::string_view pattern, int minutes) {
    std::string text(pattern);
    const std::size_t at = text.find("%hd");
    if (at != std::string::npos)
        text.replace(at, 3, std::to_string(minutes));
    return text;
}

}  // namespace

std::int16_t getProperRounding(const ZRCDTask& task) {
    const ZRCDTask* current = &task;
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        if (current->rounding() >= 0)
            return current->rounding();
        current = current->parentTask();
        if (!current)
            return 0;
    }
    return 0;
}

void setRounding(ZRCDTask& task, std::int16_t code) {
    task.setRounding(code);
    if (const ManagedObjectContext* context = task.managedObjectContext())
        RoundingEnabledFlag::current().refreshRoundingEnabled_inContext(*context);
    if (task.childTasks().empty()) {
        recalculateRoundedDurations(task);
        return;
    }
    forEachDescendant(task, [](ZRCDTask& descendant) {
        if (descendant.rounding() < 0)
            recalculateRoundedDurations(descendant);
    });
}

bool setRoundingType(ZRCDTask& task, int type) {
    if (type < -1 || type > rounding_rule::kRoundDown)
        return false;
    const std::int16_t effective = getProperRounding(task);
    if (type == roundingType(effective))
        return false;
    const int minutes = std::max(roundingMinutes(effective), 1);
    std::int16_t code = rounding_rule::kInheritRounding;
    if (type >= rounding_rule::kRoundUp) {
        code = static_cast<std::int16_t>(type * 100 + minutes);
    } else if (type == 0 && task.parentTask()) {
        code = static_cast<std::int16_t>(minutes);
    }
    if (code == task.rounding())
        return false;
    RoundingChange change(task, kUndoSetTaskRoundingType);
    setRounding(task, code);
    return true;
}

bool setRoundingMinutes(ZRCDTask& task, int minutes) {
    if (minutes < 1 || minutes > 99)
        return false;
    const std::int16_t effective = getProperRounding(task);
    if (minutes == roundingMinutes(effective))
        return false;
    const int type = std::max(roundingType(effective), 0);
    std::int16_t code = static_cast<std::int16_t>(type * 100 + minutes);
    if (const ZRCDTask* parent = task.parentTask()) {
        const std::int16_t inherited = getProperRounding(*parent);
        if (roundingType(inherited) == type && roundingMinutes(inherited) == minutes)
            code = rounding_rule::kInheritRounding;
    }
    RoundingChange change(task, kUndoSetTaskRoundingMinutes);
    setRounding(task, code);
    if (!task.childTasks().empty() && code >= 0) {
        std::vector<ZRCDTask*> sameRule;
        forEachDescendant(task, [&](ZRCDTask& descendant) {
            if (descendant.rounding() == code)
                sameRule.push_back(&descendant);
        });
        for (ZRCDTask* descendant : sameRule)
            setRounding(*descendant, rounding_rule::kInheritRounding);
    }
    return true;
}

bool thisTaskOrAnyDescendantRoundsTimes(const ZRCDTask& task) {
    return getProperRounding(task) > 99 ||
           anyDescendant(task, [](const ZRCDTask& d) { return d.rounding() > 99; });
}

bool aHiddenInDataSelectionSubtaskHasRoundingEnabled(const ZRCDTask& task) {
    return anyDescendant(
        task, [](const ZRCDTask& d) { return !d.isVisibleInDataSelection() && d.rounding() > 99; });
}

bool anyTaskHasRoundingEnabled_inContext(const ManagedObjectContext& context) {
    for (ManagedObject* object : context.registeredObjects(ZRCDTask::entityDescription())) {
        if (static_cast<const ZRCDTask*>(object)->rounding() > 100)
            return true;
    }
    return false;
}

std::string getRoundingToolTip(const ZRCDTask& task) {
    const std::int16_t effective = getProperRounding(task);
    const int minutes = roundingMinutes(effective);
    const bool inherited = task.rounding() < 100;
    const auto text = [&](std::string_view oneMinute, std::string_view minutesForm,
                          std::string_view inheritedForm) {
        if (minutes < 2)
            return std::string(oneMinute);
        return withMinutes(inherited ? inheritedForm : minutesForm, minutes);
    };
    if (effective >= 101 && effective <= 199)
        return text(kRoundUpToNearestMinute, kRoundUpToNearestMinutes,
                    kRoundUpToNearestMinutesInherited);
    if (effective >= 201 && effective <= 299)
        return text(kRoundToNearestMinute, kRoundToNearestMinutes, kRoundToNearestMinutesInherited);
    if (effective >= 301 && effective <= 399)
        return text(kRoundDownToNearestMinute, kRoundDownToNearestMinutes,
                    kRoundDownToNearestMinutesInherited);
    if (effective < 100 && aHiddenInDataSelectionSubtaskHasRoundingEnabled(task))
        return std::string(kContainsASubtaskThatUsesRounding);
    return {};
}

std::string getRoundingDescription(const ZRCDTask& task) {
    const std::int16_t effective = getProperRounding(task);
    if (!rounding_rule::roundsDurations(effective))
        return std::string(kNoRounding);
    std::string text;
    switch (roundingType(effective)) {
        case rounding_rule::kRoundUp:
            text = kRoundUpToNearestPrefix;
            break;
        case rounding_rule::kRoundNearest:
            text = kRoundToNearestPrefix;
            break;
        default:
            text = kRoundDownToNearestPrefix;
            break;
    }
    const int minutes = roundingMinutes(effective);
    return text + (minutes < 2 ? std::string(kMinuteSuffix) : withMinutes(kMinutesSuffix, minutes));
}

}  // namespace ravelong::task_totals
