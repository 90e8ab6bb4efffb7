// Figures of the idle handling on a heavy user's store: one tick's idle check with the desktop's
// idle time at hand, and an idle resolution with its save.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/PreferenceKeys.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "bench/ScratchStore.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/AlertSound.h"
#include "core/services/ApplicationDelegate.h"
#include "core/services/IdleTimeSource.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/IdlePanelController.h"
#include "support/VirtualMainLoop.h"

namespace ravelong::bench {

namespace {

class QuietSound final : public AlertSound {
public:
    void playSound(std::string_view) override {}
};

// What the desktop monitor's cached answer gives the tick: a number at once.
class CachedIdleTime final : public IdleTimeSource {
public:
    double seconds = 0.0;
    double secondsSinceLastEvent(IdleEventKind) override { return seconds; }
};

// The idle panel without drawing.
class NoIdleView final : public IdlePanelView {
public:
    bool visible = false;
    bool isPanelVisible() const override { return visible; }
    void openPanel() override { visible = true; }
    void closePanel() override { visible = false; }
    void showTexts(const IdlePanelTexts&) override {}
    void showOption(IdleResolution, bool) override {}
    void showPutAwayMenu(const std::vector<PutAwayItem>&, std::optional<std::size_t>) override {}
};

class IdleBenchDelegate final : public ApplicationDelegate {
public:
    explicit IdleBenchDelegate(ManagedObjectContext& context) : context_(context) {}
    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return preferences; }
    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return nullptr; }
    IdleTimePanel* idleTimePanel() override { return panel; }
    IdleTimeSource* idleTimeSource() override { return &idle; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }

    ZRCDPreferences* preferences = nullptr;
    IdlePanelController* panel = nullptr;
    QuietSound sound;
    CachedIdleTime idle;

private:
    ManagedObjectContext& context_;
};

ZRCDTask* someLeafTask(const ManagedObjectContext& context) {
    for (ZRCDTask* task : ZRCDTask::getAllUnarchivedTasks_inContext(context))
        if (task->childTasks().empty() && task->parentTask())
            return task;
    return nullptr;
}

int runIdleSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "idle-bench");
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

    IdleBenchDelegate delegate(context);
    context.setDelegate(&delegate);
    delegate.preferences = ZRCDPreferences::getPreferences_inContext(context);
    NoIdleView view;
    IdlePanelController panel(delegate, defaults, loop, clock, view);
    delegate.panel = &panel;
    ZRTimerControllerOSX timer(delegate);
    ZRCDTask* task = someLeafTask(context);
    if (!task) {
        std::cerr << "the store has no leaf task\n";
        return 1;
    }
    defaults.setInteger(kZRIdleTime, 300);
    defaults.setInteger(kZRIdleTimeResolve, static_cast<int>(IdleResolution::stop));
    defaults.setInteger(kZRShowAddNoteToTiming, 0);

    // The tick of a user at work: every kind of input is looked at, none is past the limit.
    if (!ZRCDTiming::aTimerIsRunning_inContext(context))
        timer.toggleTask(task, 0.0, kNoteOverrideNoPanel, false, true);
    delegate.idle.seconds = 12.0;
    std::vector<double> tickMicroseconds;
    for (int run = 0; run < 2000; ++run) {
        clock.advance(60);
        tickMicroseconds.push_back(1e6 * secondsFor([&] { timer.timeUpdate(); }));
    }
    printFigure("idle_check_per_tick_us", median(tickMicroseconds), "us");

    // Twenty idle minutes stopped from the panel, saved to the file each time.
    std::vector<double> resolveMilliseconds;
    for (int run = 0; run < 31; ++run) {
        if (!ZRCDTiming::aTimerIsRunning_inContext(context) &&
            !timer.toggleTask(task, 0.0, kNoteOverrideNoPanel, false, true)) {
            std::cerr << "cannot start a timer\n";
            return 1;
        }
        loop.advance(3600);
        delegate.idle.seconds = 1200.0;
        timer.timeUpdate();
        loop.advance(1);
        if (!view.visible) {
            std::cerr << "the idle panel did not open\n";
            return 1;
        }
        resolveMilliseconds.push_back(1000.0 * secondsFor([&] { panel.resolveButtonClicked(); }));
        if (ZRCDTiming::aTimerIsRunning_inContext(context) || context.hasChanges()) {
            std::cerr << "the resolution did not stop and save\n";
            return 1;
        }
        loop.advance(60);
    }
    printFigure("resolve_idle_ms", median(resolveMilliseconds), "ms");
    std::printf("idle: %zu timings after the runs\n",
                ZRCDTiming::numberOfTimings_inContext(context));
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("idle", runIdleSuite);

}  // namespace ravelong::bench
