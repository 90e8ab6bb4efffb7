// Figures of the charts on a heavy user's store (2,000 tasks, 200,000 timings): each chart's data
// computed through the second connection from the day aggregates, and the bar chart drawn into a
// 1600 x 1000 PNG.
#include <QApplication>
#include <QBuffer>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "app/BackgroundConnection.h"
#include "app/PreferenceKeys.h"
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
#include "foundation/UserDefaults.h"
#include "stats/ChartData.h"
#include "stats/ChartRequestBuilder.h"
#include "stats/ChartTexts.h"
#include "store/BackgroundReader.h"
#include "support/SettableClock.h"
#include "ui/BarChartView.h"
#include "ui/ChartImageWriter.h"

namespace ravelong::bench {
namespace {

constexpr int kRuns = 7;

template <class F>
double medianMilliseconds(F&& work) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run)
        times.push_back(1000.0 * secondsFor(work));
    return median(times);
}

// The range as the calendar stores it: calendar days.
void setRange(ZRDate first, ZRDate last) {
    ZRUserDefaults2::setGeneralStartAndEndDate(date_additions::zrYearMonthDayFromZRDate(first),
                                               date_additions::zrYearMonthDayFromZRDate(last));
}

int runChartsSuite() {
    const HeavyUserProfile profile;
    auto scratch = ScratchHeavyUserStore::open(profile, "charts-bench");
    if (!scratch) {
        std::cerr << scratch.error().description << '\n';
        return 1;
    }
    ManagedObjectContext& context = (*scratch)->context();
    SettableClock clock(profile.now);
    ScopedClock scopedClock(clock);
    ScopedUserCalendar calendar("Europe/Berlin", "en_GB");
    const auto settingsFile = (*scratch)->path().string() + ".settings.json";
    UserDefaults defaults{std::filesystem::path(settingsFile)};
    ScopedUserDefaults scopedDefaults(UserDefaults::Suite::standard, defaults);
    auto reader = BackgroundReader::open((*scratch)->path(), ravelongModel());
    if (!reader) {
        std::cerr << reader.error().description << '\n';
        return 1;
    }
    auto connection = std::make_shared<BackgroundConnection>(std::move(reader.value()));
    const std::atomic<bool> notCancelled{false};
    const int cutoff = ZRCDPreferences::currentNewDay_inContext(context);
    const ZRDate today = date_additions::zrDateTodayWithHourCutoff(cutoff);

    // Every task considered: the leaves take part, 2,000 tasks' worth of aggregates are read.
    ZRUserDefaults2::setSelectionState(3);
    ZRUserDefaults2::setShowTasks(3);
    ZRUserDefaults2::setGeneralStartAndEndDate(0, kAllTimeEnd);
    std::size_t checksum = 0;
    const double pieMs = medianMilliseconds([&] {
        const ChartRequest request = buildChartRequest(ChartKind::pie, context, defaults, true);
        (void)connection->read([&](BackgroundReader& r) {
            auto data = computePieChartData(r, request, notCancelled);
            checksum += data ? data->slices.size() : 0;
            return Status::success();
        });
    });
    std::printf("charts: %zu pie slices in all\n", checksum / kRuns);
    printFigure("pie_all_time_ms", pieMs, "ms");

    ZRUserDefaults2::setVerticalBarChartMeasuringPeriod(kMonthly);
    setRange(today - 3652, today);
    BarChartData bar;
    const double barMs = medianMilliseconds([&] {
        const ChartRequest request = buildChartRequest(ChartKind::bar, context, defaults, true);
        (void)connection->read([&](BackgroundReader& r) {
            auto data = computeBarChartData(r, request, notCancelled);
            if (data)
                bar = std::move(*data);
            return Status::success();
        });
    });
    std::printf("charts: %d months, %zu segments\n", bar.columns(), bar.segments.size());
    printFigure("bar_ten_years_by_month_ms", barMs, "ms");

    setRange(today - 364, today);
    defaults.setInteger(kZRLineChartAveragePeriod, 30);
    const double lineMs = medianMilliseconds([&] {
        const ChartRequest request = buildChartRequest(ChartKind::line, context, defaults, true);
        (void)connection->read([&](BackgroundReader& r) {
            auto data = computeLineChartData(r, request, notCancelled);
            if (data)
                checksum += weightedMovingAverage(data->daily, 30).size();
            return Status::success();
        });
    });
    printFigure("line_one_year_with_average_ms", lineMs, "ms");

    // The picture a user saves: the bar chart of the tier-1 tasks, ten years by month.
    for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context))
        task->setTaskIsSelected(task->parentTask() == nullptr);
    (void)context.save();
    ZRUserDefaults2::setSelectionState(2);
    setRange(today - 3652, today);
    const ChartRequest request = buildChartRequest(ChartKind::bar, context, defaults, true);
    (void)connection->read([&](BackgroundReader& r) {
        auto data = computeBarChartData(r, request, notCancelled);
        if (data)
            bar = std::move(*data);
        return Status::success();
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ravelong-bench";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    BarChartView view;
    view.resize(1600, 1000);
    view.show();
    QApplication::processEvents();
    std::size_t bytes = 0;
    const double pngMs = medianMilliseconds([&] {
        view.setData(bar);
        bytes = static_cast<std::size_t>(chartImageData(view, {1, false, 80, true, false}).size());
    });
    std::printf("charts: %zu segments, %d columns, PNG of %zu bytes\n", bar.segments.size(),
                bar.columns(), bytes);
    printFigure("chart_to_png_ms", pngMs, "ms");
    std::printf("charts: checksum %zu\n", checksum);
    return 0;
}

RAVELONG_BENCH_SUITE("charts", runChartsSuite);

}  // namespace
}  // namespace ravelong::bench
