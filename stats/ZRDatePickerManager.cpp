#include "stats/ZRDatePickerManager.h"

#include "app/BackgroundConnection.h"
#include "app/PreferenceKeys.h"
#include "app/SavePathTexts.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DayNumbers.h"
#include "core/calendar/NewDayHour.h"
#include "core/calendar/PeriodDays.h"
#include "foundation/Log.h"

namespace ravelong {

ZRDatePickerManager::ZRDatePickerManager(ManagedObjectContext& context, UserDefaults& defaults,
                                         NotificationCenter& center, MainLoop& loop,
                                         ConnectionSource connections)
    : context_(context),
      defaults_(defaults),
      center_(center),
      loop_(loop),
      connections_(std::move(connections)),
      consideredTasks_(context, defaults, center),
      allSelectedInDatePicker_(ZRUserDefaults2::timeIntervalDuration() == 2),
      computation_(loop),
      alive_(std::make_shared<ZRDatePickerManager*>(this)) {
    // Until the calendar says otherwise: the month of today and the two before it.
    const ZRDate today = date_additions::zrDateTodayWithHourCutoff(new_day_hour::current());
    const ZRDate monthStart = date_additions::zrDateFirstDayOfMonthWithZRDate(today);
    firstVisible_ = date_additions::zrDateFirstDayOfMonthWithZRDate(
        date_additions::zrDateFirstDayOfMonthWithZRDate(monthStart - 1) - 1);
    lastVisible_ = monthStart + date_additions::numberOfDaysInMonthWithZRDate(monthStart) - 1;

    centerObservers_.push_back(
        center_.addObserver(std::string(kZRRedrawDatePicker), nullptr,
                            [this](const Notification&) { scheduleRefresh(); }));
    centerObservers_.push_back(center_.addObserver(
        std::string(kConsideredTasksChanged), nullptr, [this](const Notification& note) {
            if (note.object != &consideredTasks_)
                consideredTasks_.fetch();  // posts again for itself when the list changed
            scheduleRefresh();
        }));
    for (std::string_view key : {kZRShowTasks, kZRSelectionState})
        defaultsObservers_.push_back(
            defaults_.addObserver(std::string(key), [this](const std::string&) {
                if (loop_.isMainThread())
                    scheduleRefresh();
            }));
    scheduleRefresh();
}

ZRDatePickerManager::~ZRDatePickerManager() {
    for (auto id : centerObservers_)
        center_.removeObserver(id);
    for (auto id : defaultsObservers_)
        defaults_.removeObserver(id);
    if (pendingTimer_)
        loop_.cancel(pendingTimer_);
    alive_.reset();
    computation_.cancel();
    computation_.waitForBackgroundWork();
}

void ZRDatePickerManager::setVisibleDays(ZRDate first, ZRDate last) {
    if (first > last || (first == firstVisible_ && last == lastVisible_))
        return;
    firstVisible_ = first;
    lastVisible_ = last;
    scheduleRefresh();
}

void ZRDatePickerManager::scheduleRefresh() {
    computation_.cancel();
    if (pendingTimer_)
        loop_.cancel(pendingTimer_);
    std::weak_ptr<ZRDatePickerManager*> alive = alive_;
    pendingTimer_ = loop_.runAfter(kRefreshDelay, [alive] {
        if (auto self = alive.lock())
            (*self)->startRefresh();
    });
}

void ZRDatePickerManager::startRefresh() {
    pendingTimer_ = 0;
    auto connection = connections_ ? connections_() : nullptr;
    if (!connection) {
        logWarning("ZRDatePickerManager:refresh", "no store connection for the calendar's data");
        return;
    }
    const CalendarDayRequest request{ZRUserDefaults2::showTasks(), firstVisible_, lastVisible_};
    computation_.start(
        std::move(connection),
        [request](BackgroundReader& reader, const std::atomic<bool>& cancelled) {
            return computeCalendarDayData(reader, request, cancelled);
        },
        [this](Result<CalendarDayData>& result) { deliver(result); });
}

void ZRDatePickerManager::deliver(Result<CalendarDayData>& result) {
    if (!result) {
        if (result.error().code != kCalendarDayDataCancelledCode)
            logError("ZRDatePickerManager:refresh", result.error().description);
        return;
    }
    data_ = std::move(result.value());
    ++redrawTrigger_;
    if (onRedraw_)
        onRedraw_();
}

void ZRDatePickerManager::waitForBackgroundWork() {
    computation_.waitForBackgroundWork();
}

}  // namespace ravelong
