#include "core/tree/TaskAbsorption.h"

#include <algorithm>

#include "core/chain/ChainLinks.h"
#include "core/chain/ChainTreeChanges.h"
#include "core/chain/TaskTree.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/timer/TimingStop.h"
#include "core/tree/MergedTaskName.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::task_absorption {

namespace {

bool isLive(const ZRCDTask* task) {
    return task && !task->isDeleted() && task->managedObjectContext();
}

std::vector<ZRCDTiming*> runningTimingsOf(const ZRCDTask* task) {
    std::vector<ZRCDTiming*> running;
    for (ZRCDTiming* timing : task->timings()) {
        if (timing->running())
            running.push_back(timing);
    }
    return running;
}

void unarchiveWithAncestors(ZRCDTask* task) {
    for (ZRCDTask* t = task; t; t = t->parentTask()) {
        if (t->isArchived())
            t->setIsArchived(false);
        if (t->parentTask() && task_tree::isOnParentCycle(t))
            break;
    }
}

void takeOverIdentifiers(ZRCDTask* receiver, const ZRCDTask* other) {
    std::vector<std::string> known = receiver->getUUIDandUIDs();
    for (const std::string& identifier : other->getUUIDandUIDs()) {
        if (std::find(known.begin(), known.end(), identifier) != known.end())
            continue;
        if (receiver->addUID(identifier))
            known.push_back(identifier);
    }
}

void keepEarlierCreation(ZRCDTask* receiver, const ZRCDTask* other) {
    if (other->createdDay() > 0 &&
        (receiver->createdDay() <= 0 || other->createdDay() < receiver->createdDay())) {
        receiver->setCreatedDay(other->createdDay());
    }
    if (other->date() && (!receiver->date() || *other->date() < *receiver->date()))
        receiver->setDate(other->date());
}

void mergeNames(ZRCDTask* receiver, const ZRCDTask* other) {
    const std::string mine = receiver->taskName().value_or("");
    const std::string theirs = other->taskName().value_or("");
    if (theirs.empty())
        return;
    const std::string merged = mine.empty() ? theirs
                                            : merged_task_name::limitedToMergedNameWidth(
                                                  merged_task_name::mergedName(mine, theirs));
    if (merged != mine)
        receiver->setTaskName(merged);
}

void adoptSubtasks(ZRCDTask* receiver, ZRCDTask* other) {
    if (task_tree::isDescendantOf(receiver, other))
        receiver->setParentTask(other->parentTask());
    std::vector<ZRCDTask*> ownChildren = receiver->childTasks().toVector();
    const auto positions =
        chain_links::positionsOf(chain_links::currentChainOrder(*receiver->managedObjectContext()));
    std::sort(ownChildren.begin(), ownChildren.end(), [&](const ZRCDTask* a, const ZRCDTask* b) {
        return positions.at(a) < positions.at(b);
    });
    const ZRCDTask* model = ownChildren.empty() ? nullptr : ownChildren.front();
    for (ZRCDTask* child : other->childTasks().toVector()) {
        if (child == receiver)
            continue;
        child->setParentTask(receiver);
        if (!model)
            continue;
        if (child->isVisibleInMenuBar() != model->isVisibleInMenuBar())
            child->setIsVisibleInMenuBar(model->isVisibleInMenuBar());
        if (child->isVisibleInDataSelection() != model->isVisibleInDataSelection())
            child->setIsVisibleInDataSelection(model->isVisibleInDataSelection());
    }
}

}  // namespace

bool absorbTask(ZRCDTask* receiver, ZRCDTask* other, StopRunningTimings stopRunning) {
    if (!isLive(receiver) || !isLive(other) || receiver == other ||
        receiver->managedObjectContext() != other->managedObjectContext()) {
        return false;
    }
    ManagedObjectContext& context = *receiver->managedObjectContext();

    std::vector<ZRCDTiming*> running = runningTimingsOf(receiver);
    const std::vector<ZRCDTiming*> runningOfOther = runningTimingsOf(other);
    running.insert(running.end(), runningOfOther.begin(), runningOfOther.end());
    const bool stop =
        stopRunning == StopRunningTimings::always || receiver->isArchived() || other->isArchived();
    if (stop) {
        for (ZRCDTiming* timing : running)
            timing_stop::stopThisTimingNow(*timing);
    }

    task_chain::relinkForAbsorbing(receiver, other);
    mergeNames(receiver, other);
    if (receiver->isArchived() && !other->isArchived())
        unarchiveWithAncestors(receiver);

    takeOverIdentifiers(receiver, other);
    keepEarlierCreation(receiver, other);
    for (ZRCDOrigin* origin : other->origins().toVector())
        receiver->addOriginsObject(origin);
    for (ZRCDTiming* timing : other->timings().toVector())
        timing->setTask(receiver);

    const auto description =
        merged_task_name::mergedDescription(receiver->taskDescription(), other->taskDescription());
    if (description != receiver->taskDescription())
        receiver->setTaskDescription(description);

    adoptSubtasks(receiver, other);

    for (ZRCDTimingSet* set : other->timingSets().toVector())
        context.deleteObject(set);
    context.deleteObject(other);
    context.processPendingChanges();
    return true;
}

}  // namespace ravelong::task_absorption
