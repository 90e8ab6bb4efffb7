// Figures of the tray on a heavy user's store: the task panel opened with every task and its
// totals (model and view, drawn offscreen), one keystroke of search, and one minute tick (the
// tray item's text and icon, and the panel's running rows).
#include <time.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "bench/ScratchStore.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/services/ApplicationDelegate.h"
#include "core/totals/NewDayHourFromPreferences.h"
#include "core/totals/TimingSetDayIndex.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/MenuBarTaskEditor.h"
#include "menubar/MenuBarTaskList.h"
#include "menubar/ZRStatusItemView.h"
#include "support/VirtualMainLoop.h"

#ifdef RAVELONG_BENCH_HAS_UI
#include <QApplication>
#include <QDBusConnection>
#include <QListView>

#include "ui/TaskPanel.h"
#include "ui/TrayItem.h"
#endif

namespace ravelong::bench {

namespace {

// Processor time of this thread for one call: the build machine is often busy with other work,
// which the wall-clock figures include.
double cpuSecondsFor(const std::function<void()>& work) {
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
}

// The application as the list sees it: the store's context and nothing else.
class BenchDelegate final : public ApplicationDelegate {
public:
    explicit BenchDelegate(ManagedObjectContext& context) : context_(context) {}
    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override {
        return ZRCDPreferences::getPreferences_inContext(context_);
    }
    AlertSound* alertSound() override { return nullptr; }
    AddNotePanel* addNotePanel() override { return nullptr; }
    IdleTimePanel* idleTimePanel() override { return nullptr; }
    IdleTimeSource* idleTimeSource() override { return nullptr; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }

private:
    ManagedObjectContext& context_;
};

// Every task listed: the heavy user's subtasks are shown unfolded.
void unfoldEverything(ManagedObjectContext& context) {
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context))
        if (!task->isVisibleInMenuBar())
            task->setIsVisibleInMenuBar(true);
    (void)context.save();
}

int runMenuBarSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "menubar-bench");
    if (!scratch) {
        std::cerr << scratch.error().description << ": " << scratch.error().failureReason << '\n';
        return 1;
    }
    ManagedObjectContext& context = (*scratch)->context();
    unfoldEverything(context);

    SettableClock clock(profile.now);
    ScopedClock scopedClock(clock);
    VirtualMainLoop loop(clock);
    ScopedMainLoop scopedLoop(loop);
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    NotificationCenter center;
    NotificationCenter::setDefaultCenter(&center);
    // Settings of their own beside the scratch store, removed at the end.
    const std::filesystem::path settingsFile =
        (*scratch)->path().parent_path() / "menubar-bench-settings.json";
    UserDefaults defaults(settingsFile);
    ScopedUserDefaults scopedDefaults(UserDefaults::Suite::standard, defaults);
    defaults.setInteger("ZRMenuBarCustomDuration", 1);  // this week
    NewDayHourFromPreferences newDayHour(context);
    TimingSetDayIndex index(context);
    BenchDelegate delegate(context);

#ifdef RAVELONG_BENCH_HAS_UI
    int argc = 1;
    char name[] = "ravelong-bench";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
#endif

    // 1. Opening the panel: the list with its totals, the model, the view laid out and drawn.
    std::vector<double> open;
    std::vector<double> openCpu;
    int rows = 0;
    for (int run = 0; run < 11; ++run) {
        double cpu = 0.0;
        const double seconds = secondsFor([&] {
            cpu = cpuSecondsFor([&] {
                MenuBarTaskList list(
                    MenuBarTaskList::Services{delegate, nullptr, center, loop, clock, defaults});
                MenuBarTaskEditor editor(list);
                list.reload();
                rows = list.rowCount();
#ifdef RAVELONG_BENCH_HAS_UI
                TaskPanel panel(TaskPanel::Kind::window);
                panel.setTaskList(&list, &editor);
                panel.show();
                QApplication::processEvents();
                panel.repaint();
                panel.setTaskList(nullptr, nullptr);
#endif
            });
        });
        if (run > 0) {  // the first run reads the store's pages into memory
            open.push_back(1000.0 * seconds);
            openCpu.push_back(1000.0 * cpu);
        }
    }
    std::printf("menubar: %d rows listed; opening takes %.2f ms of processor time\n", rows,
                median(openCpu));
    printFigure("panel_open_2000_tasks_ms", median(open), "ms");

    MenuBarTaskList list(
        MenuBarTaskList::Services{delegate, nullptr, center, loop, clock, defaults});
    MenuBarTaskEditor editor(list);
    list.reload();
#ifdef RAVELONG_BENCH_HAS_UI
    TaskPanel panel(TaskPanel::Kind::window);
    panel.setTaskList(&list, &editor);
    panel.show();
    QApplication::processEvents();
#endif

    // 2. One keystroke of search: the marks of the matching tasks, the list and its totals, the
    // view again. Keystrokes come 1 s apart, so every one updates at once.
    const char* typed[] = {"p",  "pr",  "pro", "proj", "pro", "pr", "p", "", "c",
                           "cl", "cli", "c",   "",     "a",   "ab", "a", ""};
    std::vector<double> keystrokes;
    std::vector<double> keystrokesCpu;
    for (int round = 0; round < 3; ++round) {
        for (const char* text : typed) {
            clock.advance(1.0);
            double cpu = 0.0;
            keystrokes.push_back(1000.0 * secondsFor([&] {
                                     cpu = cpuSecondsFor([&] {
                                         list.setSearchTerm(text);
#ifdef RAVELONG_BENCH_HAS_UI
                                         QApplication::processEvents();
#endif
                                     });
                                 }));
            keystrokesCpu.push_back(1000.0 * cpu);
        }
    }
    std::printf("menubar: %zu keystrokes, %d rows after the last; %.2f ms of processor time\n",
                keystrokes.size(), list.rowCount(), median(keystrokesCpu));
    printFigure("search_keystroke_ms", median(keystrokes), "ms");

    // 3. One minute tick as the program does it: the tray item's total and texts (its icon
    // redrawn when they change), then the running rows of the panel, and the views drawn.
    ZRStatusItemView item(context, defaults, clock, loop);
    defaults.setInteger("ZRStatusIconDuration", 3);  // the current task this week
#ifdef RAVELONG_BENCH_HAS_UI
    // No tray host here: the item is the XEmbed fallback, drawn offscreen.
    TrayItem tray(nullptr, QDBusConnection(QStringLiteral("ravelong-bench-no-bus")));
    tray.show();
    item.setDisplayObserver([&](const StatusItemDisplay& display) { tray.setDisplay(display); });
#endif
    item.handleRunningTimingsChanged(
        ZRCDTiming::getRunningTimingsSortedByLastModified_inContext(context));
    std::vector<double> ticks;
    std::size_t changed = 0;
    std::string itemText;
    for (int run = 0; run < 31; ++run) {
        clock.advance(60.0);
        ticks.push_back(1000.0 * secondsFor([&] {
                            item.timeTick();
                            changed = list.refreshRunningRows().size();
#ifdef RAVELONG_BENCH_HAS_UI
                            QApplication::processEvents();
#endif
                        }));
        itemText = item.display().labelText();
    }
    std::printf("menubar: %zu running timers, %zu rows changed per tick; the item shows \"%s\"\n",
                item.numberOfRunningTimings(), changed, itemText.c_str());
    printFigure("tick_refresh_ms", median(ticks), "ms");

#ifdef RAVELONG_BENCH_HAS_UI
    panel.setTaskList(nullptr, nullptr);
#endif
    NotificationCenter::setDefaultCenter(nullptr);
    std::error_code ignored;
    std::filesystem::remove(settingsFile, ignored);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("menubar", runMenuBarSuite);

}  // namespace ravelong::bench
