#include "tests/core/model/ModelTestSupport.h"

#include <algorithm>
#include <stdexcept>

#include "core/model/ZRCDPreferences.h"
#include "store/ZRUndoManager.h"
#include "tests/core/calendar/CalendarTestSupport.h"

namespace ravelong::model_testing {

ZRCDTimingSet* splitIntoDuplicateSet(ZRCDTiming* timing, ManagedObjectContext& context) {
    ZRCDTimingSet* original = timing->firstTimingSet();
    auto* copy = context.insertNewObject<ZRCDTimingSet>();
    copy->setTask(original->task());
    copy->setAbsDay(original->absDay());
    copy->setDay(original->day());
    timing->removeTimingSetsObject(original);
    timing->addTimingSetsObject(copy);
    timing->setFirstTimingSet(copy);
    original->recalculateDuration();
    copy->recalculateDuration();
    return copy;
}

ModelTest::ModelTest() {
    clock.set(berlin(2024, 3, 5, 10, 0, 0));
    context.setUndoManager(std::make_unique<ZRUndoManager>());
}

Instant ModelTest::berlin(int year, int month, int day, int hour, int minute, int second) {
    return testing::wallTime("Europe/Berlin", year, month, day, hour, minute, second);
}

ZRDate ModelTest::dayNumber(int year, int month, int day) {
    return testing::dayNumber(year, month, day);
}

void ModelTest::setNewDay(int hour) {
    if (!ZRCDPreferences::setNewDayTo(hour, context))
        throw std::runtime_error("cannot set the day cut-off");
}

ZRCDTask* ModelTest::newTask(const std::string& name) {
    return ZRCDTask::createCoreDataTaskWithName(name, false, context);
}

ZRCDTiming* ModelTest::stoppedTiming(ZRCDTask* task, Instant start, Instant end) {
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        start, end, task, std::nullopt, 0, std::nullopt, context);
    if (!timing)
        throw std::runtime_error("the timing was refused");
    return timing;
}

std::vector<ZRCDTimingSet*> ModelTest::setsOf(const ZRCDTask* task) {
    std::vector<ZRCDTimingSet*> sets = task->timingSets().toVector();
    std::sort(sets.begin(), sets.end(), [](const ZRCDTimingSet* a, const ZRCDTimingSet* b) {
        return a->absDay() < b->absDay();
    });
    return sets;
}

}  // namespace ravelong::model_testing
