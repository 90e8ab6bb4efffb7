#include "tests/core/timer/TimerTestFixture.h"

#include <algorithm>

#include "core/calendar/CivilDays.h"
#include "core/calendar/DayNumbers.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/timer/TimerTexts.h"
#include "store/ZRUndoManager.h"

namespace ravelong::testing {

Instant berlin(int day, int hour, int minute, double second) {
    const double unix = static_cast<double>(civil::daysFromCivil(2024, 3, day)) * 86400.0 +
                        hour * 3600.0 + minute * 60.0 + second - 3600.0;
    return instantFromUnixTime(unix);
}

TimerTest::TimerTest() : context(ravelongModel()) {
    NotificationCenter::setDefaultCenter(&center);
    observer_ =
        center.addObserver(std::string(kZRTimeUpdate), nullptr, [this](const Notification& note) {
            ++timeUpdates_;
            EXPECT_EQ(note.object, controller_.get());
        });
    context.setUndoManager(std::make_unique<ZRUndoManager>());
    context.setDelegate(&delegate);
    delegate.preferences = ZRCDPreferences::getPreferences_inContext(context);
}

TimerTest::~TimerTest() {
    controller_.reset();
    center.removeObserver(observer_);
    NotificationCenter::setDefaultCenter(nullptr);
}

ZRTimerControllerOSX& TimerTest::timer() {
    if (!controller_)
        makeController();
    return *controller_;
}

void TimerTest::makeController() {
    controller_ = std::make_unique<ZRTimerControllerOSX>(delegate);
}

ZRCDTask* TimerTest::makeTask(const std::string& name, ZRCDTask* parent) {
    ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, false, context);
    if (parent)
        task->setParentTask(parent);
    return task;
}

void TimerTest::settle() {
    ASSERT_TRUE(context.save());
    context.undoManager()->removeAllActions();
}

void TimerTest::allowMultipleTimers(bool allow) {
    ASSERT_TRUE(ZRCDPreferences::setAllowMultipleTimersTo(allow, context));
}

void TimerTest::setNewDayHour(int hour) {
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(hour, context));
}

std::vector<ZRCDTiming*> TimerTest::runningTimings() const {
    return ZRCDTiming::getRunningTimings_inContext(context);
}

std::vector<ZRCDTiming*> TimerTest::timingsOf(const ZRCDTask* task) const {
    std::vector<ZRCDTiming*> timings = task->timings().toVector();
    std::sort(timings.begin(), timings.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
        return a->startDate().value_or(0) < b->startDate().value_or(0);
    });
    return timings;
}

ZRCDTimingSet* TimerTest::setOn(const ZRCDTask* task, Instant instant) const {
    const int offset = ZRCDPreferences::currentNewDay_inContext(context) * 3600;
    const ZRDate day =
        date_additions::zrDateWithTimeZoneName(instant, "Europe/Berlin", offset, false);
    for (ZRCDTimingSet* set : task->timingSets()) {
        if (set->absDay() == day)
            return set;
    }
    return nullptr;
}

double TimerTest::totalOfAllSets() const {
    double total = 0.0;
    for (const ZRCDTimingSet* set : context.fetchAll<ZRCDTimingSet>())
        total += set->duration();
    return total;
}

std::string TimerTest::undoName() const {
    return context.undoManager()->undoActionName();
}

}  // namespace ravelong::testing
