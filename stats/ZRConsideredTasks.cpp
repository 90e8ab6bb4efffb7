#include "stats/ZRConsideredTasks.h"

#include "app/PreferenceKeys.h"
#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "core/chain/TaskChain.h"
#include "core/model/ZRCDTask.h"
#include "stats/StatsTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {
namespace {

bool hasUuid(const ZRCDTask* task, const std::string& uuid) {
    return task && task->uuid() && *task->uuid() == uuid;
}

bool checked(const ZRCDTask* task) {
    return task && task->taskIsSelected();
}

bool archivedChildOrGrandchild(const ZRCDTask& task) {
    for (ZRCDTask* child : task.childTasks()) {
        if (child->isArchived())
            return true;
        for (ZRCDTask* grandchild : child->childTasks())
            if (grandchild->isArchived())
                return true;
    }
    return false;
}

const ZRCDTask* parentOf(const ZRCDTask& task) {
    return task.parentTask();
}
const ZRCDTask* grandparentOf(const ZRCDTask& task) {
    return task.parentTask() ? task.parentTask()->parentTask() : nullptr;
}

}  // namespace

ZRConsideredTasks::ZRConsideredTasks(ManagedObjectContext& context, UserDefaults& defaults,
                                     NotificationCenter& center)
    : context_(context), defaults_(defaults), center_(center) {
    array_ = fetchTasks();
    for (std::string_view key : {kZRSelectionState, kZRShowTasks, kZRSelectedTaskInDataSelection})
        observers_.push_back(
            defaults_.addObserver(std::string(key), [this](const std::string&) { fetch(); }));
}

ZRConsideredTasks::~ZRConsideredTasks() {
    for (UserDefaults::ObserverId id : observers_)
        defaults_.removeObserver(id);
}

bool ZRConsideredTasks::fetch() {
    std::vector<ZRCDTask*> tasks = fetchTasks();
    if (tasks == array_)
        return false;
    array_ = std::move(tasks);
    center_.post(std::string(kConsideredTasksChanged), this);
    return true;
}

std::vector<ZRCDTask*> ZRConsideredTasks::fetchTasks() const {
    const std::int64_t state = ZRUserDefaults2::selectionState();
    const std::int64_t showTasks = ZRUserDefaults2::showTasks();
    const ZRCDTask* highlighted = nullptr;
    if (state == 1) {
        const auto uuid = ZRUserDefaults2::selectedTaskInDataSelection();
        if (uuid && !uuid->empty())
            highlighted = ZRCDTask::getCoreDataTaskWithUUID(*uuid, context_);
    }
    const auto test = predicate(state, showTasks, highlighted);
    if (!test)
        return {};
    std::vector<ZRCDTask*> tasks = context_.fetch<ZRCDTask>({.predicate = *test});
    return task_chain::sortArrayOfTasksByViewPosition(tasks, context_);
}

std::optional<std::function<bool(const ZRCDTask&)>> ZRConsideredTasks::predicate(
    std::int64_t selectionState, std::int64_t showTasks, const ZRCDTask* highlighted) {
    using Test = std::function<bool(const ZRCDTask&)>;
    if (showTasks < 1 || showTasks > 3)
        return std::nullopt;
    switch (selectionState) {
        case 1: {
            if (!highlighted || !highlighted->uuid())
                return std::nullopt;
            const std::string uuid = *highlighted->uuid();
            if (showTasks == 3)
                return Test([uuid](const ZRCDTask& t) {
                    return hasUuid(&t, uuid) || hasUuid(parentOf(t), uuid) ||
                           hasUuid(grandparentOf(t), uuid);
                });
            if (showTasks == 2) {
                if (highlighted->isArchived())
                    return std::nullopt;
                return Test([uuid](const ZRCDTask& t) {
                    return hasUuid(&t, uuid) ||
                           (!t.isArchived() &&
                            (hasUuid(parentOf(t), uuid) || hasUuid(grandparentOf(t), uuid)));
                });
            }
            return Test([uuid](const ZRCDTask& t) {
                return hasUuid(&t, uuid) || (t.isArchived() && (hasUuid(parentOf(t), uuid) ||
                                                                hasUuid(grandparentOf(t), uuid)));
            });
        }
        case 2:
            if (showTasks == 3)
                return Test([](const ZRCDTask& t) {
                    return checked(&t) || checked(parentOf(t)) || checked(grandparentOf(t));
                });
            if (showTasks == 2)
                return Test([](const ZRCDTask& t) {
                    return !t.isArchived() &&
                           (checked(&t) || checked(parentOf(t)) || checked(grandparentOf(t)));
                });
            return Test([](const ZRCDTask& t) {
                const bool underCheck =
                    checked(&t) || checked(parentOf(t)) || checked(grandparentOf(t));
                if (t.isArchived() && underCheck)
                    return true;
                return (checked(&t) || checked(parentOf(t))) && archivedChildOrGrandchild(t);
            });
        case 3:
            if (showTasks == 3)
                return Test([](const ZRCDTask& t) { return t.isVisibleInDataSelection(); });
            if (showTasks == 2)
                return Test([](const ZRCDTask& t) {
                    return t.isVisibleInDataSelection() && !t.isArchived();
                });
            return Test(
                [](const ZRCDTask& t) { return t.isVisibleInDataSelection() && t.isArchived(); });
        default:
            return std::nullopt;
    }
}

std::string ZRConsideredTasks::predicateFormat(std::int64_t selectionState, std::int64_t showTasks,
                                               const ZRCDTask* highlighted) {
    if (!predicate(selectionState, showTasks, highlighted))
        return std::string(kNoTaskPredicate);
    static constexpr std::string_view formats[3][3] = {
        {kHighlightedArchivedPredicate, kHighlightedUnarchivedPredicate, kHighlightedAllPredicate},
        {kCheckedArchivedPredicate, kCheckedUnarchivedPredicate, kCheckedAllPredicate},
        {kVisibleArchivedPredicate, kVisibleUnarchivedPredicate, kVisibleAllPredicate},
    };
    return std::string(formats[selectionState - 1][showTasks - 1]);
}

}  // namespace ravelong
