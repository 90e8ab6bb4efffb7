#include "tests/core/totals/TotalsTestSupport.h"

#include <stdexcept>

#include "foundation/Uuid.h"

namespace ravelong::totals_testing {

TotalsTest::TotalsTest() {
    NotificationCenter::setDefaultCenter(&center);
}

TotalsTest::~TotalsTest() {
    NotificationCenter::setDefaultCenter(nullptr);
}

ZRCDTask* TotalsTest::newChild(ZRCDTask* parent, const std::string& name) {
    ZRCDTask* child =
        ZRCDTask::createCoreDataTaskImportWithName(name, std::nullopt, parent, 0, context);
    if (!child)
        throw std::runtime_error("the subtask was refused");
    return child;
}

ZRCDTiming* TotalsTest::timingInZone(ZRCDTask* task, Instant start, Instant end,
                                     const std::string& zone, std::int32_t newDayOffset) {
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
        start, end, newDayOffset, zone, task, std::nullopt, makeUuid(),
        OriginRecordOrType(std::int16_t{0}), 0, context);
    if (!timing)
        throw std::runtime_error("the timing was refused");
    return timing;
}

ZRCDTiming* TotalsTest::runningTimingFrom(ZRCDTask* task, Instant start, Instant now) {
    clock.set(start + 0.5);  // the timer starts half a second before "now"
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    if (!timing)
        throw std::runtime_error("the timer did not start");
    clock.set(now);
    return timing;
}

ZRCDTimingSet* TotalsTest::setOn(const ZRCDTask* task, ZRDate day) {
    for (ZRCDTimingSet* set : task->timingSets()) {
        if (set->absDay() == day)
            return set;
    }
    return nullptr;
}

}  // namespace ravelong::totals_testing
