// Figures of the main window's models on a heavy user's store: the timed entries list filled
// with a year of all tasks, the calendar's per-day data computed through the second connection,
// and checking every task of the statistics task list at once.
#include <time.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <vector>

#include "app/BackgroundConnection.h"
#include "app/ZRUserDefaults2.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "bench/ScratchStore.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/PeriodDays.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/services/ApplicationDelegate.h"
#include "core/tree/TaskTreeEditor.h"
#include "foundation/Clock.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "menubar/StatisticsTaskList.h"
#include "menubar/TimedEntriesList.h"
#include "stats/ZRDatePickerManager.h"
#include "store/BackgroundReader.h"
#include "support/VirtualMainLoop.h"

#ifdef RAVELONG_BENCH_HAS_UI
#include <QApplication>
#include <QTableView>

#include "menubar/MenuBarTaskEditor.h"
#include "menubar/MenuBarTaskList.h"
#include "ui/CalendarGrid.h"
#include "ui/MainWindow.h"
#endif

namespace ravelong::bench {
namespace {

double cpuSecondsFor(const std::function<void()>& work) {
    timespec start{}, end{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) * 1e-9;
}

// The application as the lists see it: the store context and its save path, nothing else.
class BenchDelegate final : public ApplicationDelegate {
public:
    explicit BenchDelegate(ManagedObjectContext& context) : context_(context) {}
    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return nullptr; }
    AlertSound* alertSound() override { return nullptr; }
    AddNotePanel* addNotePanel() override { return nullptr; }
    IdleTimePanel* idleTimePanel() override { return nullptr; }
    IdleTimeSource* idleTimeSource() override { return nullptr; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }

private:
    ManagedObjectContext& context_;
};

int runMainWindowSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "mainwindow-bench");
    if (!scratch) {
        std::cerr << scratch.error().description << ": " << scratch.error().failureReason << '\n';
        return 1;
    }
    ManagedObjectContext& context = (*scratch)->context();
    SettableClock clock(profile.now);
    ScopedClock scopedClock(clock);
    VirtualMainLoop loop(clock);
    ScopedMainLoop scopedLoop(loop);
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    NotificationCenter center;
    NotificationCenter::setDefaultCenter(&center);
    const auto settingsFile = (*scratch)->path().string() + ".settings.json";
    UserDefaults defaults{std::filesystem::path(settingsFile)};
    ScopedUserDefaults scopedDefaults(UserDefaults::Suite::standard, defaults);
    BenchDelegate delegate(context);
    context.setDelegate(&delegate);
    const int cutoff = ZRCDPreferences::currentNewDay_inContext(context);

    // 1. The entries list: all tasks, this year.
    const ZRDateRange year =
        date_additions::standardPeriodDays(date_additions::StandardPeriod::thisYear, cutoff);
    ZRUserDefaults2::setSelectionState(3);
    ZRUserDefaults2::setShowTasks(3);
    ZRUserDefaults2::setGeneralStartAndEndDate(date_additions::zrYearMonthDayFromZRDate(year.first),
                                               date_additions::zrYearMonthDayFromZRDate(year.last));
    TimedEntriesList entries(context, defaults, loop);
    std::vector<double> fill;
    for (int run = 0; run < 11; ++run)
        fill.push_back(1000.0 * secondsFor([&] { entries.reload(); }));
    std::printf("mainwindow: %zu entries this year\n", entries.rowCount());
    printFigure("entries_year_all_tasks_ms", median(fill), "ms");

    // 2. The calendar: three visible months up to now, every task checked.
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context))
        task->setTaskIsSelected(task->parentTask() == nullptr);
    context.processPendingChanges();
    (void)context.save();
    auto reader = BackgroundReader::open((*scratch)->path(), ravelongModel());
    if (!reader) {
        std::cerr << reader.error().description << '\n';
        return 1;
    }
    auto connection = std::make_shared<BackgroundConnection>(std::move(reader.value()));
    ZRDatePickerManager manager(context, defaults, center, loop, [&] { return connection; });
    const ZRDate today = date_additions::zrDateTodayWithHourCutoff(cutoff);
    manager.setVisibleDays(today - 90, today);
    std::vector<double> refresh;
    for (int run = 0; run < 11; ++run) {
        manager.scheduleRefresh();
        loop.advance(ZRDatePickerManager::kRefreshDelay - 0.001);
        refresh.push_back(1000.0 * secondsFor([&] {
                              loop.advance(0.001);  // starts the computation
                              manager.waitForBackgroundWork();
                              loop.runPending();  // hands the result over
                          }));
    }
    std::printf("mainwindow: calendar %zu days with time, %d..%d\n",
                manager.calendarData().days.size(), manager.calendarData().earliest,
                manager.calendarData().latest);
    printFigure("calendar_refresh_ms", median(refresh), "ms");
    // The computation alone, in processor time on this thread: a busy machine stretches the
    // wall-clock figure by whatever else runs.
    std::vector<double> compute;
    const std::atomic<bool> notCancelled{false};
    const CalendarDayRequest request{3, today - 90, today};
    for (int run = 0; run < 11; ++run)
        compute.push_back(1000.0 * cpuSecondsFor([&] {
                              (void)connection->read([&](BackgroundReader& reader) {
                                  (void)computeCalendarDayData(reader, request, notCancelled);
                                  return Status::success();
                              });
                          }));
    std::printf("mainwindow: calendar computation alone %.2f ms of processor time\n",
                median(compute));

    // 3. Checking all tasks of the statistics list (every task listed), saved.
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context))
        task->setIsVisibleInDataSelection(true);
    context.processPendingChanges();
    (void)context.save();
    TaskTreeEditor editor(delegate, nullptr);
    StatisticsTaskList list(delegate, editor, loop);
    list.reload();
    std::vector<double> selectAll;
    for (int run = 0; run < 11; ++run) {
        list.deselectAllTasks();
        selectAll.push_back(1000.0 * secondsFor([&] { list.selectAllTasks(); }));
    }
    std::printf("mainwindow: %zu tasks listed\n", list.rowCount());
    printFigure("select_all_tasks_ms", median(selectAll), "ms");

#ifdef RAVELONG_BENCH_HAS_UI
    // 4. Opening the main window offscreen on this month: the lists filled, the calendar's data
    // delivered, the window laid out and drawn.
    int argc = 1;
    char name[] = "ravelong-bench";
    char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    manager.rangeChooser().selectPreset(DateRangeChooser::Preset::thisMonth);
    MenuBarTaskList taskList(
        MenuBarTaskList::Services{delegate, nullptr, center, loop, clock, defaults});
    MenuBarTaskEditor taskEditor(taskList);
    std::vector<double> open;
    int timingRows = 0;
    for (int run = 0; run < 11; ++run) {
        const double seconds = secondsFor([&] {
            MainWindow window(
                MainWindow::Services{delegate, manager, taskEditor, defaults, loop, clock});
            window.show();
            loop.advance(ZRDatePickerManager::kRefreshDelay);  // starts the calendar's refresh
            manager.waitForBackgroundWork();
            loop.runPending();
            QApplication::processEvents();
            window.repaint();
            timingRows = window.timingsView()->model()->rowCount();
        });
        if (run > 0)  // the first run reads the store's pages into memory
            open.push_back(1000.0 * seconds);
    }
    std::printf("mainwindow: window opened with %d timings this month\n", timingRows);
    printFigure("open_main_window_ms", median(open), "ms");
#endif
    NotificationCenter::setDefaultCenter(nullptr);
    std::filesystem::remove(settingsFile);
    return 0;
}

}  // namespace

RAVELONG_BENCH_SUITE("mainwindow", runMainWindowSuite);

}  // namespace ravelong::bench
