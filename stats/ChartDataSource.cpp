#include "stats/ChartDataSource.h"

#include "app/PreferenceKeys.h"
#include "app/SavePathTexts.h"
#include "core/totals/TotalsTexts.h"
#include "foundation/Log.h"
#include "stats/ChartTexts.h"

namespace ravelong {
namespace {

ChartDataSource::Data emptyData(ChartKind kind) {
    switch (kind) {
        case ChartKind::bar:
            return BarChartData{};
        case ChartKind::line:
            return LineChartData{};
        case ChartKind::pie:
            break;
    }
    return PieChartData{};
}

int countOf(const ChartDataSource::Data& data) {
    if (const auto* bar = std::get_if<BarChartData>(&data))
        return bar->columns();
    if (const auto* line = std::get_if<LineChartData>(&data))
        return line->days();
    return 0;
}

}  // namespace

ChartDataSource::ChartDataSource(ChartKind kind, ManagedObjectContext& context,
                                 UserDefaults& defaults, NotificationCenter& center, MainLoop& loop,
                                 ConnectionSource connections,
                                 std::function<bool()> roundingEnabled)
    : kind_(kind),
      context_(context),
      defaults_(defaults),
      center_(center),
      connections_(std::move(connections)),
      roundingEnabled_(std::move(roundingEnabled)),
      data_(emptyData(kind)),
      computation_(loop) {
    for (std::string_view name :
         {kZRRedrawDataDisplay, kTimeIntervalChanged, kConsideredTasksChanged,
          kZRTaskColorChangedNotification, kZRTaskNameDidChange, kZRRoundingModified})
        centerObservers_.push_back(center_.addObserver(std::string(name), nullptr,
                                                       [this](const Notification&) { refresh(); }));
    for (std::string_view key :
         {kZRGeneralStartDate, kZRGeneralEndDate, kZRSelectionState, kZRShowTasks,
          kZRSelectedTaskInDataSelection, kZRPieChartViewOption, kZRPieChartFullTaskName,
          kZRPieChartDontUseRounding, kZRBarChartDontUseRounding, kZRLineChartDontUseRounding,
          kZRVerticalBarChartMeasuringPeriod, kZRVerticalBarChartBackgroundHighlight})
        defaultsObservers_.push_back(
            defaults_.addObserver(std::string(key), [this, &loop](const std::string&) {
                if (loop.isMainThread())
                    refresh();
            }));
}

ChartDataSource::~ChartDataSource() {
    for (auto id : centerObservers_)
        center_.removeObserver(id);
    for (auto id : defaultsObservers_)
        defaults_.removeObserver(id);
}

void ChartDataSource::setActive(bool active) {
    active_ = active;
    if (!active_) {
        // A computation stopped half-way leaves the data behind the latest change.
        if (computation_.running()) {
            computation_.cancel();
            stale_ = true;
        }
        return;
    }
    if (stale_)
        refresh();
}

void ChartDataSource::refresh() {
    if (!active_) {
        stale_ = true;
        computation_.cancel();
        return;
    }
    stale_ = false;
    auto connection = connections_ ? connections_() : nullptr;
    if (!connection) {
        logWarning("ChartDataSource:refresh", "no store connection for the chart's data");
        return;
    }
    request_ = buildChartRequest(kind_, context_, defaults_,
                                 roundingEnabled_ ? roundingEnabled_() : false);
    const ChartKind kind = kind_;
    computation_.start(
        std::move(connection),
        [kind, request = request_](BackgroundReader& reader,
                                   const std::atomic<bool>& cancelled) -> Result<Data> {
            switch (kind) {
                case ChartKind::bar: {
                    auto bar = computeBarChartData(reader, request, cancelled);
                    return bar ? Result<Data>(Data(std::move(bar.value())))
                               : Result<Data>(bar.error());
                }
                case ChartKind::line: {
                    auto line = computeLineChartData(reader, request, cancelled);
                    return line ? Result<Data>(Data(std::move(line.value())))
                                : Result<Data>(line.error());
                }
                case ChartKind::pie:
                    break;
            }
            auto pie = computePieChartData(reader, request, cancelled);
            return pie ? Result<Data>(Data(std::move(pie.value()))) : Result<Data>(pie.error());
        },
        [this](Result<Data>& result) { deliver(result); });
}

void ChartDataSource::deliver(Result<Data>& result) {
    if (!result) {
        if (result.error().code != kChartDataCancelledCode)
            logError("ChartDataSource:refresh", result.error().description);
        return;
    }
    const int previous = countOf(data_);
    data_ = std::move(result.value());
    numberOfDaysChanged_ = countOf(data_) != previous;
    ++redrawTrigger_;
    if (onRedraw_)
        onRedraw_();
}

}  // namespace ravelong
