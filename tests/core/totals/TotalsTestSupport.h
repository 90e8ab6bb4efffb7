#pragma once

#include <memory>
#include <string>

#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TimingSetDayIndex.h"
#include "foundation/NotificationCenter.h"
#include "tests/core/model/ModelTestSupport.h"

namespace ravelong::totals_testing {

// The model's world (Berlin, Tuesday 5 March 2024 10:00, scratch context with undo) with a
// rounding flag and a notification center of the test's own.
class TotalsTest : public model_testing::ModelTest {
protected:
    TotalsTest();
    ~TotalsTest() override;

    // A subtask of `parent`.
    ZRCDTask* newChild(ZRCDTask* parent, const std::string& name);
    // A timing from `start` to `end` counted in another zone with the given cut-off (seconds).
    ZRCDTiming* timingInZone(ZRCDTask* task, Instant start, Instant end, const std::string& zone,
                             std::int32_t newDayOffset);
    // A timer started at `start` on the clock, which then moves to `now`.
    ZRCDTiming* runningTimingFrom(ZRCDTask* task, Instant start, Instant now);
    // The task's set for a day, or nullptr.
    static ZRCDTimingSet* setOn(const ZRCDTask* task, ZRDate day);
    // Refreshes the installed rounding flag from the tasks.
    bool refreshRounding() { return flag.refreshRoundingEnabled_inContext(context); }

    RoundingEnabledFlag flag{false};
    ScopedRoundingEnabledFlag scopedFlag{flag};
    NotificationCenter center;
};

}  // namespace ravelong::totals_testing
