#include "menubar/ZRStatusItemView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "app/AppStrings.h"
#include "app/PreferenceKeys.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/PeriodDays.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TaskTotals.h"
#include "core/totals/TimingSetTotals.h"
#include "core/totals/TimingTotals.h"
#include "foundation/Clock.h"
#include "menubar/MenuBarTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

namespace {

constexpr int kNoTime = 0;
constexpr int kCurrentTiming = 1;
constexpr int kTaskToday = 2;
constexpr int kTaskEver = 6;
constexpr int kAllToday = 7;
constexpr int kAllYear = 10;
constexpr int kAllEver = 11;

constexpr std::array<std::string_view, 12> kTotalLines = {
    "",
    menu_bar_texts::kTotalCurrentTimer,
    menu_bar_texts::kTotalTaskToday,
    menu_bar_texts::kTotalTaskWeek,
    menu_bar_texts::kTotalTaskMonth,
    menu_bar_texts::kTotalTaskYear,
    menu_bar_texts::kTotalTaskEver,
    menu_bar_texts::kTotalAllToday,
    menu_bar_texts::kTotalAllWeek,
    menu_bar_texts::kTotalAllMonth,
    menu_bar_texts::kTotalAllYear,
    menu_bar_texts::kTotalAllEver,
};

int storedValue(const UserDefaults& defaults) {
    const std::int64_t value = defaults.integerForKey(kZRStatusIconDuration, kTaskToday);
    return value >= kNoTime && value <= kAllEver ? static_cast<int>(value) : kTaskToday;
}

}  // namespace

ZRStatusItemView::ZRStatusItemView(ManagedObjectContext& context, UserDefaults& defaults,
                                   const Clock& clock, MainLoop& loop)
    : context_(context), defaults_(defaults), clock_(clock), loop_(loop) {
    value_ = storedValue(defaults_);
    secondsLimit_ = defaults_.integerForKey(kZRStatusIconShowSecondsDuration, 0);
    showName_ = defaults_.boolForKey(kZRShowTaskNameInStatusIcon, true);
    preferenceObservers_.push_back(
        defaults_.addObserver(std::string(kZRStatusIconDuration),
                              [this](const std::string&) { handleStatusIconDurationChanged(); }));
    preferenceObservers_.push_back(defaults_.addObserver(
        std::string(kZRStatusIconShowSecondsDuration),
        [this](const std::string&) { handleStatusIconShowSecondsDurationChanged(); }));
    preferenceObservers_.push_back(
        defaults_.addObserver(std::string(kZRShowTaskNameInStatusIcon),
                              [this](const std::string&) { handleShowXInStatusIconChanged(); }));
    // Totals of all tasks change with this one.
    preferenceObservers_.push_back(
        defaults_.addObserver(std::string(kZRExcludeArchivedTimesInMenuBar),
                              [this](const std::string&) { updateTime(); }));
}

ZRStatusItemView::~ZRStatusItemView() {
    for (UserDefaults::ObserverId id : preferenceObservers_)
        defaults_.removeObserver(id);
    if (secondsTimer_ != 0)
        loop_.cancel(secondsTimer_);
}

void ZRStatusItemView::setDisplayObserver(DisplayObserver observer) {
    observer_ = std::move(observer);
    if (observer_)
        observer_(display_);
}

bool ZRStatusItemView::isUsable(const ZRCDTiming* timing) const {
    return timing && !timing->isDeleted() && timing->managedObjectContext() == &context_;
}

int ZRStatusItemView::hourCutoff() const {
    return ZRCDPreferences::currentNewDay_inContext(context_);
}

// --- Current task ---

void ZRStatusItemView::handleRunningTimingsChanged(const std::vector<ZRCDTiming*>& timings) {
    running_.clear();
    for (ZRCDTiming* timing : timings) {
        if (isUsable(timing))
            running_.push_back(timing);
    }
    refreshCurrent();
    updateTime();
}

void ZRStatusItemView::refreshCurrent() {
    // Records deleted since the last change (an undo of a start) no longer count.
    // A stop tells the item before the save path hands over the new list.
    std::erase_if(running_, [this](const ZRCDTiming* timing) {
        return !isUsable(timing) || !timing->running();
    });
    runningCount_ = running_.size();
    topmost_ = running_.empty() ? nullptr : running_.front();
    if (topmost_ && topmost_->task() && !topmost_->task()->isDeleted())
        currentTask_ = topmost_->task();
    else
        currentTask_ = ZRCDTask::getLastModifiedUnarchivedLeafTask_inContext(context_);
}

// --- Totals ---

void ZRStatusItemView::updateTimeIntervalWithoutCurrentTiming() {
    using date_additions::StandardPeriod;
    const Instant now = clock_.now();
    const int cutoff = hourCutoff();
    baseValidUntil_ = date_additions::endOfDayWithHourCutoff(now, cutoff);
    const bool excludeArchived = defaults_.boolForKey(kZRExcludeArchivedTimesInMenuBar, false);
    const ZRCDTask* task = currentTask_;
    double base = 0.0;
    switch (value_) {
        case 2:
            base = task ? task_totals::getTimeTodayExcludingRunningTimings(*task, true) : 0.0;
            break;
        case 3:
            base = task ? task_totals::getTimeThisWeekExcludingRunningTimings(*task, true) : 0.0;
            break;
        case 4:
            base = task ? task_totals::getTimeThisMonthExcludingRunningTimings(*task, true) : 0.0;
            break;
        case 5:
            base = task ? task_totals::getTimeThisYearExcludingRunningTimings(*task, true) : 0.0;
            break;
        case 6:
            base = task ? task_totals::getAllTimeExcludingRunningTimings(*task, true) : 0.0;
            break;
        case 7:
        case 8:
        case 9:
        case 10: {
            static constexpr std::array<StandardPeriod, 4> kPeriods = {
                StandardPeriod::today, StandardPeriod::thisWeek, StandardPeriod::thisMonth,
                StandardPeriod::thisYear};
            const ZRDateRange days =
                date_additions::standardPeriodDays(kPeriods[value_ - kAllToday], cutoff);
            base = timing_set_totals::getTotalTimeInSecondsBetweenZRDate(
                days.first, days.last, excludeArchived, true, context_);
            break;
        }
        case 11:
            base = timing_set_totals::getTotalTimeInSecondsExcludingArchivedTasks(excludeArchived,
                                                                                  true, context_);
            break;
        default:
            break;
    }
    base_ = base;
}

// The beginning of the period of a task value (2 day, 3 week, 4 month, 5 year; 6 all time) that
// holds `now`, under the cut-off.
Instant ZRStatusItemView::periodBeginning(Instant now, int value) const {
    const int cutoff = hourCutoff();
    switch (value) {
        case 2:
            return date_additions::beginningOfDayWithHourCutoff(now, cutoff);
        case 3:
            return date_additions::beginningOfWeekWithHourCutoff(now, cutoff);
        case 4:
            return date_additions::beginningOfMonthWithHourCutoff(now, cutoff);
        case 5:
            return date_additions::beginningOfYearWithHourCutoff(now, cutoff);
        default:
            return -std::numeric_limits<double>::infinity();
    }
}

// R for the task values: each running timer of the current task counts from its start or from the
// beginning of the period, whichever is later. A timer started yesterday 23:00 with cut-off 4 and
// now 05:00 today adds 1 hour to today's total (since 04:00), not 6. Every running timer of the
// task counts, not only the topmost: the base leaves all of them out, so a second timer of the
// same task would otherwise be missing from its total.
double ZRStatusItemView::runningPart(Instant now) const {
    const bool excludeArchived = defaults_.boolForKey(kZRExcludeArchivedTimesInMenuBar, false);
    double part = 0.0;
    if (value_ == kCurrentTiming) {
        if (isUsable(topmost_))
            part = std::max(0.0, now - topmost_->startDate().value_or(now));
    } else if (value_ >= kTaskToday && value_ <= kTaskEver) {
        const Instant beginning = periodBeginning(now, value_);
        for (const ZRCDTiming* timing : running_) {
            if (timing->task() != currentTask_ || !isUsable(timing))
                continue;
            // A timer whose start lies ahead of the clock (the clock was set back) adds nothing.
            part += std::max(0.0, now - std::max(timing->startDate().value_or(now), beginning));
        }
    } else if (value_ >= kAllToday && value_ <= kAllYear) {
        part = timing_totals::getTimeOfAllRunningTimingsForMenuBarCustomDuration(
            value_ - kAllToday, excludeArchived, context_);
    } else if (value_ == kAllEver) {
        part = timing_totals::getTimeOfAllRunningTimingsExcludingArchivedTasks(excludeArchived,
                                                                               context_);
    }
    return std::max(0.0, part);
}

void ZRStatusItemView::updateTime() {
    refreshCurrent();
    updateTimeIntervalWithoutCurrentTiming();
    redraw(true);
}

void ZRStatusItemView::timeTick() {
    refreshCurrent();
    if (clock_.now() >= baseValidUntil_)
        updateTimeIntervalWithoutCurrentTiming();
    redraw(true);
}

void ZRStatusItemView::setSecondsOfLastStopXMinutesAgo(double seconds) {
    lastStopSeconds_ = seconds;
}

// --- Drawing ---

std::string ZRStatusItemView::totalLineFor(int value, const std::string& time) const {
    if (value <= kNoTime || value > kAllEver)
        return {};
    return formatText(kTotalLines[static_cast<std::size_t>(value)], {time});
}

std::string ZRStatusItemView::badgeTextForCount(std::size_t count) {
    if (count < 2)
        return {};
    if (count >= 10)
        return std::string(menu_bar_texts::kManyTimersBadge);
    return std::to_string(count);
}

void ZRStatusItemView::redraw(bool forgetLastStop) {
    const Instant now = clock_.now();
    StatusItemDisplay next;
    next.running = isUsable(topmost_);
    next.currentTaskName =
        currentTask_ ? currentTask_->taskName().value_or("") : std::string(menu_bar_texts::kNoTask);
    if (showName_)
        next.taskName = next.currentTaskName;
    shown_ = 0.0;
    if (value_ != kNoTime) {
        shown_ = base_ + runningPart(now);
        next.timeText = number_additions::getStringRepresentationOfSeconds_hm_roundDown(shown_);
        next.totalLine = totalLineFor(value_, next.timeText);
    }
    if (secondsLimit_ > 0 && next.running) {
        const double elapsed = now - topmost_->startDate().value_or(now);
        if (elapsed >= 0.0 && elapsed < static_cast<double>(secondsLimit_))
            next.secondsText =
                number_additions::getStringRepresentationOfSecondsForCounter(elapsed, nullptr);
    }
    next.badgeText = badgeTextForCount(runningCount_);
    if (runningCount_ >= 2)
        next.runningLine =
            formatText(menu_bar_texts::kTimersRunning, {std::to_string(runningCount_)});
    if (lastStopSeconds_) {
        next.lastStopText = formatText(
            menu_bar_texts::kTimerStoppedAfter,
            {number_additions::getStringRepresentationOfSeconds_hm_roundDown(*lastStopSeconds_)});
        if (forgetLastStop)
            lastStopSeconds_.reset();
    }
    updateSecondsTimer();
    const bool changed = !(next == display_);
    display_ = std::move(next);
    if (changed && observer_)
        observer_(display_);
}

// The counter counts every second, so while it shows the item redraws every second; it stops
// at the limit, after which the minute tick is enough.
void ZRStatusItemView::updateSecondsTimer() {
    const bool wanted =
        secondsLimit_ > 0 && isUsable(topmost_) &&
        clock_.now() - topmost_->startDate().value_or(0.0) < static_cast<double>(secondsLimit_);
    if (wanted && secondsTimer_ == 0) {
        secondsTimer_ = loop_.runRepeating(1.0, 0.05, [this] { redraw(false); });
    } else if (!wanted && secondsTimer_ != 0) {
        loop_.cancel(secondsTimer_);
        secondsTimer_ = 0;
    }
}

// --- Preferences ---

void ZRStatusItemView::handleShowXInStatusIconChanged() {
    showName_ = defaults_.boolForKey(kZRShowTaskNameInStatusIcon, true);
    redraw(false);
}

void ZRStatusItemView::handleStatusIconDurationChanged() {
    value_ = storedValue(defaults_);
    updateTimeIntervalWithoutCurrentTiming();
    redraw(false);
}

void ZRStatusItemView::handleStatusIconShowSecondsDurationChanged() {
    secondsLimit_ = defaults_.integerForKey(kZRStatusIconShowSecondsDuration, 0);
    redraw(false);
}

bool ZRStatusItemView::showTimeInStatusIcon() const {
    return value_ != kNoTime;
}

// --- Sleep and wake ---

void ZRStatusItemView::receiveSleepNote() {
    lastPutToSleep_ = clock_.now();
}

void ZRStatusItemView::wakeFromSleep() {
    lastWakeFromSleep_ = clock_.now();
    updateTime();
}

}  // namespace ravelong
