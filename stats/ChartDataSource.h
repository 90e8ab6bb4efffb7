#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "stats/BackgroundComputation.h"
#include "stats/ChartData.h"
#include "stats/ChartRequestBuilder.h"

namespace ravelong {

class ManagedObjectContext;

// The data of one chart view, kept up to date. Each refresh reads the selection and settings on
// the main thread, computes on a thread of its own through the store's second connection, and
// hands the result over on `loop`; a refresh asked for while one computes supersedes it, so the
// view only ever gets the newest complete data, never a mixture. A failed read is logged and
// keeps the data shown before.
//
// Refreshes follow "ZRRedrawDataDisplay", "TimeIntervalChanged", "ConsideredTasksChanged",
// "ZRTaskColorChangedNotification", "ZRTaskNameDidChange" and "ZRRoundingModified" on `center`,
// and changes of the range, the selection and the chart's own settings in `defaults`.
//
// Main thread only; every service given must outlive the source, whose destructor cancels and
// waits for the computation it started.
class ChartDataSource {
public:
    using ConnectionSource = std::function<std::shared_ptr<BackgroundConnection>()>;
    using Data = std::variant<PieChartData, BarChartData, LineChartData>;

    ChartDataSource(ChartKind kind, ManagedObjectContext& context, UserDefaults& defaults,
                    NotificationCenter& center, MainLoop& loop, ConnectionSource connections,
                    std::function<bool()> roundingEnabled);
    ~ChartDataSource();
    ChartDataSource(const ChartDataSource&) = delete;
    ChartDataSource& operator=(const ChartDataSource&) = delete;

    ChartKind kind() const { return kind_; }
    // Starts a computation now (superseding a running one). While the source is inactive it only
    // notes that its data are stale and stops a running computation.
    void refresh();
    // An inactive source (no view shows its chart) computes nothing: going inactive stops a
    // running computation, and becoming active computes at once when the data are stale (never
    // computed, or a refresh was asked for or stopped meanwhile). Active when made.
    void setActive(bool active);
    bool active() const { return active_; }
    bool stale() const { return stale_; }
    // Called on the main thread after each delivered result.
    void setRedrawHandler(std::function<void()> onRedraw) { onRedraw_ = std::move(onRedraw); }

    // Grows with every delivered result; 0 before the first.
    std::uint64_t redrawTrigger() const { return redrawTrigger_; }
    const PieChartData& pie() const { return std::get<PieChartData>(data_); }
    const BarChartData& bar() const { return std::get<BarChartData>(data_); }
    const LineChartData& line() const { return std::get<LineChartData>(data_); }
    // The column (bar) or day (line) count differs from the previous result's.
    bool numberOfDaysChanged() const { return numberOfDaysChanged_; }
    // The request of the last computation started: its range and settings, for texts.
    const ChartRequest& lastRequest() const { return request_; }

    void waitForBackgroundWork() { computation_.waitForBackgroundWork(); }

private:
    void deliver(Result<Data>& result);

    ChartKind kind_;
    ManagedObjectContext& context_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    ConnectionSource connections_;
    std::function<bool()> roundingEnabled_;
    std::function<void()> onRedraw_;
    Data data_;
    ChartRequest request_;
    std::uint64_t redrawTrigger_ = 0;
    bool numberOfDaysChanged_ = false;
    bool active_ = true;
    bool stale_ = true;  // nothing computed yet
    std::vector<NotificationCenter::ObserverId> centerObservers_;
    std::vector<UserDefaults::ObserverId> defaultsObservers_;
    BackgroundComputation<Data> computation_;
};

}  // namespace ravelong
