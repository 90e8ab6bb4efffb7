#include "tests/menubar/MenuBarTestFixture.h"

#include "core/calendar/CivilDays.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "store/ZRUndoManager.h"

namespace ravelong::testing {

Instant berlinWinter(int year, int month, int day, int hour, int minute, int second) {
    const double unix = static_cast<double>(civil::daysFromCivil(year, month, day)) * 86400.0 +
                        hour * 3600.0 + minute * 60.0 + second - 3600.0;
    return instantFromUnixTime(unix);
}

MenuBarTest::MenuBarTest() : context(ravelongModel()) {
    NotificationCenter::setDefaultCenter(&center);
    context.setUndoManager(std::make_unique<ZRUndoManager>());
    context.setDelegate(&delegate);
    delegate.preferences = ZRCDPreferences::getPreferences_inContext(context);
    EXPECT_TRUE(ZRCDPreferences::setAllowMultipleTimersTo(true, context));
    view = std::make_unique<ZRStatusItemView>(context, defaults, clock, loop);
    delegate.statusItem = view.get();
    timer = std::make_unique<ZRTimerControllerOSX>(delegate);
}

MenuBarTest::~MenuBarTest() {
    timer.reset();
    delegate.statusItem = nullptr;
    view.reset();
    NotificationCenter::setDefaultCenter(nullptr);
}

ZRCDTask* MenuBarTest::makeTask(const std::string& name, ZRCDTask* parent) {
    ZRCDTask* task = ZRCDTask::createCoreDataTaskWithName(name, false, context);
    if (parent)
        task->setParentTask(parent);
    return task;
}

ZRCDTiming* MenuBarTest::addTiming(ZRCDTask* task, Instant start, Instant end) {
    ZRCDTiming* timing = ZRCDTiming::createCoreDataTimingWithStartDate(
        start, end, task, std::nullopt, 0, std::nullopt, context);
    EXPECT_NE(timing, nullptr);
    return timing;
}

ZRCDTiming* MenuBarTest::startTiming(ZRCDTask* task, Instant start) {
    const Instant now = clock.now();
    clock.set(start);
    ZRCDTiming* timing = ZRCDTiming::createRunningTimingNowForTask_andOrigin(task, 0, context);
    timing->setStartDate(start);
    timing->setModified(start);
    clock.set(now);
    return timing;
}

void MenuBarTest::settle() {
    ASSERT_TRUE(context.save());
    context.undoManager()->removeAllActions();
}

void MenuBarTest::setNewDayHour(int hour) {
    ASSERT_TRUE(ZRCDPreferences::setNewDayTo(hour, context));
}

std::string MenuBarTest::undoName() const {
    return context.undoManager()->undoActionName();
}

void MenuBarTest::refreshView() {
    view->handleRunningTimingsChanged(
        ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
}

}  // namespace ravelong::testing
