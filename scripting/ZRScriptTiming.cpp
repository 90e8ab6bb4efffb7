#include "scripting/ZRScriptTiming.h"

#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/totals/TimingTotals.h"

namespace ravelong {

std::string ZRScriptTiming::uniqueID() const {
    return timing_ ? timing_->uuid().value_or("") : "";
}

std::string ZRScriptTiming::relatedTaskID() const {
    if (!timing_ || !timing_->task())
        return {};
    return timing_->task()->uuid().value_or("");
}

std::optional<Instant> ZRScriptTiming::startDate() const {
    return timing_ ? timing_->startDate() : std::nullopt;
}

std::optional<Instant> ZRScriptTiming::endDate() const {
    return timing_ ? timing_->endDate() : std::nullopt;
}

bool ZRScriptTiming::running() const {
    return timing_ && timing_->running();
}

double ZRScriptTiming::durationInSeconds() const {
    return timing_ ? timing_->duration() : 0.0;
}

double ZRScriptTiming::durationIncludingRounding() const {
    return timing_ ? timing_totals::durationWithRounding(*timing_) : 0.0;
}

}  // namespace ravelong
