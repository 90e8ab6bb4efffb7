#include "menubar/TimedEntriesList.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "app/PreferenceKeys.h"
#include "core/calendar/DayNumbers.h"
#include "core/chain/TaskChain.h"
#include "core/durations/FormatPattern.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/RoundingEnabledFlag.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TimingTotals.h"
#include "menubar/MainWindowListTexts.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {
namespace {

// "%ld" fills like "%lu": every count here is 0 or more.
std::string fillPattern(std::string_view pattern,
                        std::initializer_list<format_pattern::Argument> args) {
    std::string text(pattern);
    for (std::size_t at = text.find("%ld"); at != std::string::npos; at = text.find("%ld", at))
        text.replace(at, 3, "%lu");
    return format_pattern::apply(text, args);
}

}  // namespace

TimedEntriesList::TimedEntriesList(ManagedObjectContext& context, UserDefaults& defaults,
                                   MainLoop& loop)
    : context_(context),
      defaults_(defaults),
      loop_(loop),
      compact_(defaults.boolForKey(kZRCompactTimings)),
      alive_(std::make_shared<TimedEntriesList*>(this)) {}

TimedEntriesList::~TimedEntriesList() = default;

void TimedEntriesList::reload() {
    TimedEntriesFilter filter = TimedEntriesFilter::fromPreferences();
    if (filter.selectionState <= 3)
        filter_ = std::move(filter);
    compact_ = defaults_.boolForKey(kZRCompactTimings);
    emptiedForSwitch_ = false;
    fill();
}

void TimedEntriesList::setCompact(bool compact) {
    defaults_.setBool(kZRCompactTimings, compact);
    (void)defaults_.synchronize();
    if (compact == compact_)
        return;
    compact_ = compact;
    emptiedForSwitch_ = true;
    timings_.clear();
    sets_.clear();
    if (onChange_)
        onChange_();
    std::weak_ptr<TimedEntriesList*> alive = alive_;
    loop_.runOnMainThread([alive] {
        if (auto self = alive.lock(); self && (*self)->emptiedForSwitch_)
            (*self)->reload();
    });
}

void TimedEntriesList::fill() {
    timings_.clear();
    sets_.clear();
    if (filter_.listsAnything()) {
        if (compact_) {
            // The chain's order once, instead of a walk along the chain per comparison.
            std::unordered_map<const ZRCDTask*, std::size_t> position;
            const auto chain =
                task_chain::sortArrayOfTasksByViewPosition(context_.fetchAll<ZRCDTask>(), context_);
            for (std::size_t i = 0; i < chain.size(); ++i)
                position.emplace(chain[i], i);
            sets_ = context_.fetch<ZRCDTimingSet>(
                {.predicate = [this](const ZRCDTimingSet& set) { return filter_.matches(set); }});
            std::sort(sets_.begin(), sets_.end(),
                      [&](const ZRCDTimingSet* a, const ZRCDTimingSet* b) {
                          if (a->absDay() != b->absDay())
                              return a->absDay() > b->absDay();
                          return position[a->task()] < position[b->task()];
                      });
        } else {
            timings_ = context_.fetch<ZRCDTiming>({.predicate = [this](const ZRCDTiming& timing) {
                return filter_.matches(timing);
            }});
            std::sort(timings_.begin(), timings_.end(),
                      [](const ZRCDTiming* a, const ZRCDTiming* b) {
                          const ZRDate dayA = a->absDay();
                          const ZRDate dayB = b->absDay();
                          if (dayA != dayB)
                              return dayA > dayB;
                          return a->startDate().value_or(0.0) > b->startDate().value_or(0.0);
                      });
        }
    }
    if (onChange_)
        onChange_();
}

ZRCDTiming* TimedEntriesList::timingAtRow(std::size_t row) const {
    return !compact_ && row < timings_.size() ? timings_[row] : nullptr;
}

ZRCDTimingSet* TimedEntriesList::timingSetAtRow(std::size_t row) const {
    return compact_ && row < sets_.size() ? sets_[row] : nullptr;
}

std::vector<ZRCDTiming*> TimedEntriesList::timingsOfRows(
    const std::vector<std::size_t>& rows) const {
    std::vector<ZRCDTiming*> result;
    std::unordered_set<const ZRCDTiming*> seen;
    auto add = [&](ZRCDTiming* timing) {
        if (timing && !timing->isDeleted() && seen.insert(timing).second)
            result.push_back(timing);
    };
    for (std::size_t row : rows) {
        if (ZRCDTiming* timing = timingAtRow(row))
            add(timing);
        else if (ZRCDTimingSet* set = timingSetAtRow(row)) {
            std::vector<ZRCDTiming*> ofSet = set->timings().toVector();
            std::sort(ofSet.begin(), ofSet.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
                return a->startDate().value_or(0.0) < b->startDate().value_or(0.0);
            });
            for (ZRCDTiming* timing : ofSet)
                add(timing);
        }
    }
    return result;
}

double TimedEntriesList::durationOfRow(std::size_t row) const {
    if (const ZRCDTiming* timing = timingAtRow(row))
        return timing->duration();
    if (const ZRCDTimingSet* set = timingSetAtRow(row))
        return set->duration();
    return 0.0;
}

std::optional<TimedEntriesList::RowValues> TimedEntriesList::valuesOfRow(std::size_t row) const {
    const bool showRounded = defaults_.boolForKey(kZRTimingsShowRoundedDurations) &&
                             RoundingEnabledFlag::current().roundingEnabled();
    RowValues values;
    if (const ZRCDTiming* timing = timingAtRow(row)) {
        values.day = date_additions::zrYearMonthDayFromZRDate(timing->absDay());
        values.start = timing->startDate().value_or(0.0);
        values.end = timing->currentEndDate().value_or(values.start);
        values.duration = timing->duration();
        values.running = timing->running();
        values.shownDuration = values.duration;
        if (const ZRCDTask* task = timing->task()) {
            values.taskName = task->getFullTaskName();
            const std::int16_t code = task_totals::getProperRounding(*task);
            if (showRounded && code >= 101 && !values.running)
                values.shownDuration = timing_totals::getDurationWithRounding(*timing, code);
        }
        values.note = timing->note().value_or("");
        return values;
    }
    const ZRCDTimingSet* set = timingSetAtRow(row);
    if (!set)
        return std::nullopt;
    values.day = date_additions::zrYearMonthDayFromZRDate(set->absDay());
    values.duration = set->duration();
    values.shownDuration = values.duration;
    if (showRounded && set->roundedDuration() >= 0.0 && !set->running())
        values.shownDuration = set->roundedDuration();
    values.running = set->running();
    values.taskName = set->getFullTaskName();
    values.note = set->note();
    bool first = true;
    for (const ZRCDTiming* timing : set->timings()) {
        const Instant start = timing->startDate().value_or(0.0);
        const Instant end = timing->currentEndDate().value_or(start);
        values.start = first ? start : std::min(values.start, start);
        values.end = first ? end : std::max(values.end, end);
        first = false;
    }
    return values;
}

std::string TimedEntriesList::summaryLine(const std::vector<std::size_t>& selectedRows) const {
    const std::size_t listed = rowCount();
    std::vector<std::size_t> selected;
    for (std::size_t row : selectedRows)
        if (row < listed && std::find(selected.begin(), selected.end(), row) == selected.end())
            selected.push_back(row);
    if (selected.size() >= 2) {
        double total = 0.0;
        for (std::size_t row : selected)
            total += durationOfRow(row);
        const std::string text =
            number_additions::getStringRepresentationOfSeconds_hms_truncAt10h(total);
        return fillPattern(
            kSummarySelectedOfListed,
            {std::uint64_t{selected.size()}, std::uint64_t{listed}, std::string_view(text)});
    }
    double total = 0.0;
    for (std::size_t row = 0; row < listed; ++row)
        total += durationOfRow(row);
    const std::string text =
        number_additions::getStringRepresentationOfSeconds_hms_truncAt10h(total);
    if (listed == 1)
        return fillPattern(kSummaryOneTiming, {std::string_view(text)});
    return fillPattern(kSummaryTimings, {std::uint64_t{listed}, std::string_view(text)});
}

}  // namespace ravelong
