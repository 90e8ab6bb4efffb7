// Figures of the timer controller on a heavy user's store: a start and a stop with their saves,
// and one tick of the running displays.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "bench/ScratchStore.h"
#include "core/calendar/PeriodDays.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/IdleTimeSource.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "store/ZRUndoManager.h"
#include "support/VirtualMainLoop.h"

namespace ravelong::bench {

namespace {

// The bench plays no sounds.
class SilentAlertSound final : public AlertSound {
public:
    void playSound(std::string_view) override {}
};

// The same idle time for every kind of input.
class SteadyIdleTimeSource final : public IdleTimeSource {
public:
    void setAll(double seconds) { seconds_ = seconds; }
    double secondsSinceLastEvent(IdleEventKind) override { return seconds_; }

private:
    double seconds_ = 0.0;
};

// The application without its windows: the store, the preferences, a silent alert sound and an
// idle source that reports a user at work.
class BenchDelegate final : public ApplicationDelegate {
public:
    explicit BenchDelegate(ManagedObjectContext& context) : context_(context) {}
    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return preferences; }
    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return nullptr; }
    IdleTimePanel* idleTimePanel() override { return nullptr; }
    IdleTimeSource* idleTimeSource() override { return &idle; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }

    ZRCDPreferences* preferences = nullptr;
    SilentAlertSound sound;
    SteadyIdleTimeSource idle;

private:
    ManagedObjectContext& context_;
};

// Tasks without subtasks and without a running timer, so that a toggle starts them.
std::vector<ZRCDTask*> leafTasks(const ManagedObjectContext& context, std::size_t count) {
    const std::vector<ZRCDTask*> busy = ZRCDTask::getTasksThatHaveRunningTimings_inContext(context);
    std::vector<ZRCDTask*> leaves;
    for (ZRCDTask* task : ZRCDTask::getAllUnarchivedTasks_inContext(context)) {
        if (task->childTasks().empty() && task->parentTask() &&
            std::find(busy.begin(), busy.end(), task) == busy.end()) {
            leaves.push_back(task);
        }
        if (leaves.size() == count)
            break;
    }
    return leaves;
}

int runTimerSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "timer-bench");
    if (!scratch) {
        std::cerr << scratch.error().description << ": " << scratch.error().failureReason << '\n';
        return 1;
    }
    ManagedObjectContext& context = (*scratch)->context();

    SettableClock clock(profile.now + 3600.0);
    ScopedClock scopedClock(clock);
    VirtualMainLoop loop(clock);
    ScopedMainLoop scopedLoop(loop);
    UserDefaults defaults((*scratch)->path().string() + ".settings.json");
    ScopedUserDefaults scopedDefaults(UserDefaults::Suite::standard, defaults);
    NotificationCenter center;
    struct CenterScope {
        explicit CenterScope(NotificationCenter& c) { NotificationCenter::setDefaultCenter(&c); }
        ~CenterScope() { NotificationCenter::setDefaultCenter(nullptr); }
    } centerScope(center);

    BenchDelegate delegate(context);
    context.setDelegate(&delegate);
    delegate.preferences = ZRCDPreferences::getPreferences_inContext(context);
    ZRTimerControllerOSX timer(delegate);

    const std::vector<ZRCDTask*> leaves = leafTasks(context, 3);
    if (leaves.size() < 3) {
        std::cerr << "the store has too few leaf tasks\n";
        return 1;
    }

    // A start (which also stops the timer the heavy user left running, the first time) and a
    // stop 15 minutes later on the virtual clock, each saved to the file.
    std::vector<double> pairMilliseconds;
    for (int run = 0; run < 31; ++run) {
        bool started = false;
        bool stopped = false;
        const double start = secondsFor([&] { started = timer.toggleTask(leaves[0], true); });
        started = started && ZRCDTiming::numberOfRunningTimings_inContext(context) == 1;
        loop.advance(15 * 60);
        const double stop = secondsFor([&] { stopped = timer.toggleTask(leaves[0], true); });
        stopped = stopped && !ZRCDTiming::aTimerIsRunning_inContext(context);
        loop.advance(60);
        if (!started || !stopped) {
            std::cerr << "toggle failed\n";
            return 1;
        }
        if (run > 0)  // the first pair also stops the running timer and warms the indexes
            pairMilliseconds.push_back(1000.0 * (start + stop));
    }
    printFigure("toggle_start_stop_ms", median(pairMilliseconds), "ms");
    // The same pairs with the saves timed apart: most of a pair is the durable commit of the store
    // (an fsync per save), which depends on the disk more than on the program.
    std::vector<double> workMilliseconds;
    std::vector<double> saveMilliseconds;
    for (int run = 0; run < 31; ++run) {
        double work = secondsFor([&] { timer.toggleTask(leaves[0], false); });
        double save = secondsFor([&] { (void)context.save(); });
        loop.advance(15 * 60);
        work += secondsFor([&] { timer.toggleTask(leaves[0], false); });
        save += secondsFor([&] { (void)context.save(); });
        loop.advance(60);
        workMilliseconds.push_back(1000.0 * work);
        saveMilliseconds.push_back(1000.0 * save);
    }
    std::printf("timer: a pair is %.3f ms of timer work and %.3f ms of two saves (medians)\n",
                median(workMilliseconds), median(saveMilliseconds));

    // Three timers at once, and on every tick what the running displays do: the running timings,
    // newest first, and each one's task total for today.
    if (!ZRCDPreferences::setAllowMultipleTimersTo(true, context)) {
        std::cerr << "cannot allow several timers\n";
        return 1;
    }
    for (ZRCDTask* task : leaves)
        timer.toggleTask(task, true);
    if (ZRCDTiming::numberOfRunningTimings_inContext(context) != 3) {
        std::cerr << "expected three running timers\n";
        return 1;
    }
    defaults.setInteger(kZRIdleTime, 300);
    delegate.idle.setAll(12);
    double shownTotal = 0.0;
    center.addObserver(std::string(kZRTimeUpdate), &timer, [&](const Notification&) {
        const ZRDate today = date_additions::zrDateTodayWithHourCutoff(
            ZRCDPreferences::currentNewDay_inContext(context));
        shownTotal = 0.0;
        for (ZRCDTiming* timing :
             ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context)) {
            if (ZRCDTimingSet* set = timing->task()->timingSetForAbsDay(today, context))
                shownTotal += set->duration();
        }
    });
    std::vector<double> tickMilliseconds;
    for (int run = 0; run < 200; ++run) {
        clock.advance(60);
        tickMilliseconds.push_back(1000.0 * secondsFor([&] { timer.timeUpdate(); }));
    }
    printFigure("tick_ms", median(tickMilliseconds), "ms");

    std::printf("timer: %zu timings, %zu running, shown total %.0f s\n",
                ZRCDTiming::numberOfTimings_inContext(context),
                ZRCDTiming::numberOfRunningTimings_inContext(context), shownTotal);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("timer", runTimerSuite);

}  // namespace ravelong::bench
