#include "core/model/ZRCDTimingSet.h"

#include <algorithm>

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TimingSetTotals.h"

namespace ravelong {

EntityDescription& ZRCDTimingSet::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDTimingSet>("ZRCDTimingSet")
            .attribute<&ZRCDTimingSet::absDay_>("absDay", AttributeType::Int32)
            .attribute<&ZRCDTimingSet::day_>("day", AttributeType::Int32)
            .attribute<&ZRCDTimingSet::duration_>("duration", AttributeType::Double)
            .attribute<&ZRCDTimingSet::roundedDuration_>("roundedDuration", AttributeType::Double)
            .attribute<&ZRCDTimingSet::cachedRounding_>("cachedRounding", AttributeType::Int16)
            .attribute<&ZRCDTimingSet::running_>("running", AttributeType::Bool)
            .attribute<&ZRCDTimingSet::fullTaskName_>("fullTaskName", AttributeType::String)
            .toOne<&ZRCDTimingSet::task_>("task", "ZRCDTask", "timingSets", true)
            .toMany<&ZRCDTimingSet::timings_>("timings", "ZRCDTiming", "timingSets", false)
            .toMany<&ZRCDTimingSet::firstTimings_>("firstTimings", "ZRCDTiming", "firstTimingSet",
                                                   false)
            // The statistics sum the aggregates by day and task on a background connection.
            .index({"absDay", "task"})
            .index({"task", "absDay"})
            .build();
    return description;
}

void ZRCDTimingSet::setAbsDay(std::int32_t value) {
    setAttribute(kAbsDay, value_conversion::toValue(value));
}
void ZRCDTimingSet::setDay(std::int32_t value) {
    setAttribute(kDay, value_conversion::toValue(value));
}
void ZRCDTimingSet::setDuration(double value) {
    setAttribute(kDuration, value_conversion::toValue(value));
}
void ZRCDTimingSet::setRoundedDuration(double value) {
    setAttribute(kRoundedDuration, value_conversion::toValue(value));
}
void ZRCDTimingSet::setCachedRounding(std::int16_t value) {
    setAttribute(kCachedRounding, value_conversion::toValue(value));
}
void ZRCDTimingSet::setRunning(bool value) {
    setAttribute(kRunning, value_conversion::toValue(value));
}
void ZRCDTimingSet::setFullTaskName(std::optional<std::string> value) {
    setAttribute(kFullTaskName, value_conversion::toValue(value));
}
void ZRCDTimingSet::setTask(ZRCDTask* value) {
    setToOne(kTask, value);
}
void ZRCDTimingSet::addTimingsObject(ZRCDTiming* value) {
    addToMany(kTimings, value);
}
void ZRCDTimingSet::removeTimingsObject(ZRCDTiming* value) {
    removeFromMany(kTimings, value);
}
void ZRCDTimingSet::addFirstTimingsObject(ZRCDTiming* value) {
    addToMany(kFirstTimings, value);
}
void ZRCDTimingSet::removeFirstTimingsObject(ZRCDTiming* value) {
    removeFromMany(kFirstTimings, value);
}

namespace {

// A running timing adds to a day only once it has run a few seconds, so that a timer started by
// mistake and stopped at once never flickers into the totals.
constexpr double kMinimumCountedRunningSeconds = 5.0;

}  // namespace

double ZRCDTimingSet::duration() const {
    double total = duration_;
    if (!running_)
        return total;
    for (ZRCDTiming* timing : timings()) {
        if (!timing->running())
            continue;
        const double inDay = timing->getDurationWithinZRDate(absDay_);
        if (inDay > kMinimumCountedRunningSeconds)
            total += inDay;
    }
    return total;
}

void ZRCDTimingSet::recalculateDuration() {
    double total = 0.0;
    bool anyRunning = false;
    for (ZRCDTiming* timing : timings()) {
        if (timing->running()) {
            anyRunning = true;
            continue;
        }
        total += timing->getDurationWithinZRDate(absDay_);
    }
    if (running_ != anyRunning)
        setRunning(anyRunning);
    if (duration_ != total)
        setDuration(total);
    recalculateRoundedDuration();
}

void ZRCDTimingSet::recalculateRoundedDuration() {
    timing_set_totals::recalculateRoundedDuration(*this);
}

TaskColor ZRCDTimingSet::displayColor() const {
    return task_ ? task_->getTaskColor() : TaskColor{};
}

std::vector<std::string> ZRCDTimingSet::taskNameArray() const {
    return task_ ? task_->taskNameArray() : std::vector<std::string>{};
}

std::string ZRCDTimingSet::getFullTaskName() const {
    return task_ ? task_->getFullTaskName() : std::string();
}

namespace {

std::vector<ZRCDTiming*> timingsByStartDate(const ToMany<ZRCDTiming>& timings) {
    std::vector<ZRCDTiming*> sorted = timings.toVector();
    std::stable_sort(sorted.begin(), sorted.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
        return a->startDate().value_or(0.0) < b->startDate().value_or(0.0);
    });
    return sorted;
}

}  // namespace

std::string ZRCDTimingSet::note() const {
    std::string text;
    for (const ZRCDTiming* timing : timingsByStartDate(timings())) {
        const auto& note = timing->note();
        if (!note || note->empty())
            continue;
        if (!text.empty())
            text += '\n';
        text += *note;
    }
    return text;
}

bool ZRCDTimingSet::setNote(const std::string& text) {
    if (timings_.size() == 1) {
        ZRCDTiming* timing = *timings().begin();
        std::optional<std::string> note;
        if (!text.empty())
            note = text;
        if (timing->note() != note)
            timing->setNote(std::move(note));
        return true;
    }
    return text == note();
}

}  // namespace ravelong
