#include "exchange/csv/ZRGenericCSVParserDelegate.h"

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/csv/CsvRowInterpreter.h"
#include "exchange/csv/CsvTexts.h"

namespace ravelong::csv {

ZRGenericCSVParserDelegate::ZRGenericCSVParserDelegate(ManagedObjectContext& context, Instant now)
    : context_(context), now_(now) {}

ZRCDTask* ZRGenericCSVParserDelegate::taskFor(std::string_view name, ZRCDTask* parent) {
    // The store's lookups scan every task; a file names the same few tasks over and over.
    auto key = std::make_pair(parent, std::string(name));
    if (auto it = tasks_.find(key); it != tasks_.end())
        return it->second;
    ZRCDTask* task =
        parent ? ZRCDTask::getTaskWithName_andParentTask_andOrigin(name, parent,
                                                                   kCsvImportOriginType, context_)
               : ZRCDTask::getTier1TaskWithName_andOrigin(name, kCsvImportOriginType, context_);
    if (!task) {
        task = ZRCDTask::createCoreDataTaskImportWithName(std::string(name), now_, parent,
                                                          kCsvImportOriginType, context_);
        if (task)
            ++counts_.numberOfTasksCreated;
    }
    tasks_.emplace(std::move(key), task);
    return task;
}

std::size_t ZRGenericCSVParserDelegate::SpanHash::operator()(const Span& span) const {
    const std::hash<Instant> instantHash;
    std::size_t hash = std::hash<const ZRCDTask*>()(span.task);
    for (Instant instant : {span.start, span.end})
        hash = (hash ^ instantHash(instant)) * 0x9E3779B97F4A7C15ULL;
    return hash ^ (hash >> 29);
}

bool ZRGenericCSVParserDelegate::isDuplicate(ZRCDTask* task, Instant start, Instant end) {
    if (tasksWithSpans_.insert(task).second) {
        auto add = [&](const ZRCDTask* holder) {
            for (ZRCDTiming* timing : holder->timings())
                if (timing->startDate() && timing->endDate())
                    spans_.insert({task, *timing->startDate(), *timing->endDate()});
        };
        add(task);
        // A task that has subtasks cannot hold time: the repair after an import moved its
        // timings into a new subtask of the same name, where a second import must find them.
        for (ZRCDTask* child : task->childTasks())
            if (child->taskName() == task->taskName())
                add(child);
    }
    return !spans_.insert({task, start, end}).second;
}

bool ZRGenericCSVParserDelegate::importRow(const CsvImportRow& row) {
    if (!row.counts || !row.start || !row.end || row.task.empty())
        return false;
    ZRCDTask* task = taskFor(row.task, nullptr);
    if (task && !row.subtask1.empty())
        task = taskFor(row.subtask1, task);
    if (task && !row.subtask2.empty())
        task = taskFor(row.subtask2, task);
    if (!task) {
        ++counts_.numberOfRowsRefused;
    } else if (isDuplicate(task, *row.start, *row.end)) {
        ++counts_.numberOfRowsSkippedAsDuplicates;
    } else if (ZRCDTiming::createCoreDataTimingWithStartDate(row.start, row.end, task, row.notes,
                                                             kCsvImportOriginType, std::nullopt,
                                                             context_)) {
        ++counts_.numberOfTimingsImported;
    } else {
        ++counts_.numberOfRowsRefused;
    }
    return true;
}

}  // namespace ravelong::csv
