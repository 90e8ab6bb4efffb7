#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/MainLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UserDefaults.h"
#include "stats/BackgroundComputation.h"
#include "stats/CalendarDayData.h"
#include "stats/DateRangeChooser.h"
#include "stats/ZRConsideredTasks.h"

namespace ravelong {

class BackgroundConnection;
class ManagedObjectContext;

// The selection the main window works on, shared by its calendar, lists and charts: the
// considered tasks, the range chooser, and the data the calendar draws.
//
// The calendar data are computed on a thread of their own through the store's second connection
// (what the file holds as last saved) and handed over on `loop`. A refresh starts 0.25 s after
// it was asked for; asking again meanwhile, or while one computes, supersedes it: only the newest
// refresh's result is ever taken. Refreshes are asked for by "ZRRedrawDatePicker" (a save
// changed what the calendar shows), by "ConsideredTasksChanged", by a change of the archive
// filter or the check marks' meaning ("ZRShowTasks", "ZRSelectionState"), and by
// setVisibleDays. A failed read is logged and keeps the data shown before.
//
// "ConsideredTasksChanged" from others (the save path posts it with no object) makes the
// considered tasks refetch.
//
// Main thread only, except where stated; every service given must outlive the manager, whose
// destructor cancels and waits for the computations it started.
class ZRDatePickerManager {
public:
    using ConnectionSource = std::function<std::shared_ptr<BackgroundConnection>()>;
    static constexpr double kRefreshDelay = 0.25;

    // `connections` gives the second connection (StoreStack::
    // persistentStoreCoordinatorForBackground); it is called on the main thread, and a nullptr
    // skips the refresh.
    ZRDatePickerManager(ManagedObjectContext& context, UserDefaults& defaults,
                        NotificationCenter& center, MainLoop& loop, ConnectionSource connections);
    ~ZRDatePickerManager();
    ZRDatePickerManager(const ZRDatePickerManager&) = delete;
    ZRDatePickerManager& operator=(const ZRDatePickerManager&) = delete;

    ZRConsideredTasks& consideredTasks() { return consideredTasks_; }
    DateRangeChooser& rangeChooser() { return rangeChooser_; }
    // Whether "all" was the interval when the manager was made.
    bool allSelectedInDatePicker() const { return allSelectedInDatePicker_; }

    const CalendarDayData& calendarData() const { return data_; }
    std::pair<ZRYearMonthDay, ZRYearMonthDay> earliestAndLatestZRYearMonthDayOfSelectedTasks()
        const {
        return {data_.earliest, data_.latest};
    }
    std::int64_t absoluteNumberOfEarliestMonth() const {
        return data_.absoluteNumberOfEarliestMonth;
    }
    // Grows with every delivered refresh; `onRedraw` is called right after.
    std::uint64_t redrawTrigger() const { return redrawTrigger_; }
    void setRedrawHandler(std::function<void()> onRedraw) { onRedraw_ = std::move(onRedraw); }

    // The day numbers the calendar shows (both inclusive); asks for a refresh when they change.
    // A range with `first` after `last` is ignored.
    void setVisibleDays(ZRDate first, ZRDate last);
    ZRDate firstVisibleDay() const { return firstVisible_; }
    ZRDate lastVisibleDay() const { return lastVisible_; }

    void scheduleRefresh();
    // Blocks until every computation started so far has finished its background part (its
    // result then waits on the main loop). For tests and measurements.
    void waitForBackgroundWork();

private:
    void startRefresh();
    void deliver(Result<CalendarDayData>& result);

    ManagedObjectContext& context_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    MainLoop& loop_;
    ConnectionSource connections_;
    ZRConsideredTasks consideredTasks_;
    DateRangeChooser rangeChooser_;
    bool allSelectedInDatePicker_ = false;

    CalendarDayData data_;
    std::uint64_t redrawTrigger_ = 0;
    std::function<void()> onRedraw_;
    ZRDate firstVisible_ = 0;
    ZRDate lastVisible_ = 0;

    MainLoop::TimerId pendingTimer_ = 0;
    BackgroundComputation<CalendarDayData> computation_;
    // Work queued on the loop checks this before touching the manager.
    std::shared_ptr<ZRDatePickerManager*> alive_;
    std::vector<NotificationCenter::ObserverId> centerObservers_;
    std::vector<UserDefaults::ObserverId> defaultsObservers_;
};

}  // namespace ravelong
