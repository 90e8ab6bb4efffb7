#include "core/calendar/ZoneRules.h"

#include <unicode/basictz.h>
#include <unicode/simpletz.h>
#include <unicode/timezone.h>
#include <unicode/tztrans.h>

#include <algorithm>
#include <cmath>

#include "core/calendar/CalendarTypes.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/IcuZones.h"
#include "core/calendar/TzifFiles.h"

namespace ravelong {

namespace {

// For zones only ICU knows the table covers 1800 to 2200 and ICU answers for anything further
// out; zone data before 1800 is local mean time anyway. Zones from the system's files hold every
// listed change and the changes of their closing rule up to 2200, which keeps every realistic
// date on the fast path.
constexpr int64_t kTableStart = -5364662400;  // 1800-01-01 00:00:00 UTC
constexpr int64_t kTableEnd = 7258118400;     // 2200-01-01 00:00:00 UTC
constexpr int64_t kFirstRuleYear = 1800;
constexpr int64_t kEndYear = 2200;

int64_t localYearOf(int64_t unixSeconds, int32_t offset) {
    return civil::civilFromDays(civil::floorDiv(unixSeconds + offset, kSecondsPerDay)).year;
}

}  // namespace

ZoneRules::ZoneRules(std::string name, std::unique_ptr<icu::TimeZone> zone)
    : name_(std::move(name)), icuZone_(std::move(zone)) {}

ZoneRules::~ZoneRules() = default;

std::shared_ptr<const ZoneRules> ZoneRules::create(std::string_view name) {
    if (name.empty()) {
        return nullptr;
    }
    if (const auto data = tzif::loadSystemZone(name)) {
        return fromZoneData(std::string(name), *data);
    }
    const auto id = icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), name.size()));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    // ICU answers an unknown name with a copy of its "Etc/Unknown" zone rather than failing.
    if (zone && *zone != icu::TimeZone::getUnknown()) {
        std::shared_ptr<ZoneRules> rules(new ZoneRules(std::string(name), std::move(zone)));
        rules->fromIcu_ = true;
        rules->readTransitions();
        return rules;
    }
    if (const auto rule = PosixZoneRule::parse(name)) {
        tzif::ZoneData data;
        data.offsets = {rule->standardOffset()};
        data.summer = {false};
        data.footer = rule;
        return fromZoneData(std::string(name), data);
    }
    return nullptr;
}

std::shared_ptr<const ZoneRules> ZoneRules::fromZoneData(std::string name,
                                                         const tzif::ZoneData& data) {
    std::shared_ptr<ZoneRules> rules(new ZoneRules(std::move(name), nullptr));
    rules->takeZoneData(data);
    return rules;
}

// The file's transitions, then the changes its closing rule makes up to 2200. Example, a Berlin
// file whose list ends in 2037: the rule "CET-1CEST,M3.5.0,M10.5.0/3" adds the last Sundays of
// March and October from 2038 to 2199. ICU gets the listed changes one by one and the closing rule
// as yearly rules, so that it need not search hundreds of listed changes for a date of today.
void ZoneRules::takeZoneData(const tzif::ZoneData& data) {
    transitions_ = data.transitions;
    offsets_ = data.offsets;
    std::vector<bool> summer = data.summer;
    laterRule_ = data.footer;
    tableStart_ = INT64_MIN;
    tableEnd_ = INT64_MAX;
    const size_t listed = transitions_.size();
    const int64_t lastListedYear =
        listed == 0 ? kFirstRuleYear - 1 : localYearOf(transitions_.back(), offsets_.back());
    if (laterRule_ && laterRule_->hasSummerTime()) {
        tableEnd_ = kTableEnd;
        for (int64_t year = std::max(lastListedYear, kFirstRuleYear); year < kEndYear; ++year) {
            for (const auto& change : laterRule_->changesInYear(year)) {
                if ((transitions_.empty() || change.at > transitions_.back()) &&
                    change.offset != offsets_.back()) {
                    transitions_.push_back(change.at);
                    offsets_.push_back(change.offset);
                    summer.push_back(change.summerTime);
                }
            }
        }
    }
    fixedOffset_ = transitions_.empty();
    minOffset_ = *std::min_element(offsets_.begin(), offsets_.end());
    maxOffset_ = *std::max_element(offsets_.begin(), offsets_.end());

    const int64_t finalStartYear = lastListedYear + 1;
    size_t historic = 0;
    while (historic < transitions_.size() &&
           localYearOf(transitions_[historic], offsets_[historic]) < finalStartYear) {
        ++historic;
    }
    icuZone_ =
        icu_zones::fromTransitions(name_, transitions_, offsets_, summer,
                                   laterRule_ ? &*laterRule_ : nullptr, historic, finalStartYear);
}

std::shared_ptr<const ZoneRules> ZoneRules::fixed(int32_t offsetSeconds, std::string name) {
    const auto id = icu::UnicodeString::fromUTF8(name);
    auto zone = std::make_unique<icu::SimpleTimeZone>(offsetSeconds * 1000, id);
    std::shared_ptr<ZoneRules> rules(new ZoneRules(std::move(name), std::move(zone)));
    rules->fixedOffset_ = true;
    rules->offsets_ = {offsetSeconds};
    rules->minOffset_ = offsetSeconds;
    rules->maxOffset_ = offsetSeconds;
    rules->tableStart_ = INT64_MIN;
    rules->tableEnd_ = INT64_MAX;
    return rules;
}

void ZoneRules::readTransitions() {
    tableStart_ = kTableStart;
    tableEnd_ = kTableEnd;
    offsets_.push_back(icuOffsetAt(kTableStart));
    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(icuZone_.get());
    if (basic == nullptr) {
        // Not expected from ICU's factory; without transitions every lookup goes to ICU.
        tableEnd_ = tableStart_;
    } else {
        icu::TimeZoneTransition transition;
        double from = static_cast<double>(kTableStart) * 1000.0;
        while (basic->getNextTransition(from, false, transition)) {
            const double at = transition.getTime();
            if (at >= static_cast<double>(kTableEnd) * 1000.0) {
                break;
            }
            const icu::TimeZoneRule* to = transition.getTo();
            const int32_t offset = (to->getRawOffset() + to->getDSTSavings()) / 1000;
            transitions_.push_back(static_cast<int64_t>(std::floor(at / 1000.0)));
            offsets_.push_back(offset);
            from = at;
        }
    }
    fixedOffset_ = transitions_.empty();
    minOffset_ = *std::min_element(offsets_.begin(), offsets_.end());
    maxOffset_ = *std::max_element(offsets_.begin(), offsets_.end());
}

int32_t ZoneRules::icuOffsetAt(int64_t unixSeconds) const {
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    icuZone_->getOffset(static_cast<double>(unixSeconds) * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

int64_t ZoneRules::icuUnixSecondsFromLocal(int64_t localSeconds) const {
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    // With local = true ICU resolves skipped and repeated wall times as its lenient calendars do.
    icuZone_->getOffset(static_cast<double>(localSeconds) * 1000.0, true, raw, dst, status);
    return localSeconds - (U_SUCCESS(status) ? (raw + dst) / 1000 : 0);
}

size_t ZoneRules::periodAt(int64_t unixSeconds) const {
    return static_cast<size_t>(
        std::upper_bound(transitions_.begin(), transitions_.end(), unixSeconds) -
        transitions_.begin());
}

int32_t ZoneRules::offsetOutsideTable(int64_t unixSeconds) const {
    if (fromIcu_) {
        return icuOffsetAt(unixSeconds);
    }
    if (unixSeconds < tableStart_) {
        return offsets_.front();
    }
    return laterRule_ ? laterRule_->offsetAt(unixSeconds) : offsets_.back();
}

int32_t ZoneRules::offsetAt(int64_t unixSeconds) const {
    if (transitions_.empty() && fixedOffset_) {
        return offsets_.front();
    }
    if (unixSeconds < tableStart_ || unixSeconds >= tableEnd_) {
        return offsetOutsideTable(unixSeconds);
    }
    return offsets_[periodAt(unixSeconds)];
}

ZoneRules::OffsetChange ZoneRules::offsetChangeAt(int64_t unixSeconds) const {
    if (transitions_.empty() && fixedOffset_) {
        return {offsets_.front(), false};
    }
    if (unixSeconds <= tableStart_ || unixSeconds >= tableEnd_) {
        const int32_t offset = offsetAt(unixSeconds);
        return {offset, offsetAt(unixSeconds - 1) != offset};
    }
    const size_t k = periodAt(unixSeconds);
    return {offsets_[k], k > 0 && transitions_[k - 1] == unixSeconds};
}

// Period k runs from transitions_[k - 1] to transitions_[k]; a wall time L belongs to it when
// L - offsets_[k] falls inside. Only periods whose offsets could map L into them need a look, and
// those lie between L - maxOffset_ and L - minOffset_ in UTC. Example, Berlin on 2024-03-31 (one
// transition at 01:00 UTC from +3600 to +7200): L = 02:30 gives 01:30 UTC with the old offset,
// past the old period's end, and 00:30 UTC with the new one, before the new period's start, so no
// period holds it and the answer is the transition, 01:00 UTC, read as 03:00 CEST. On 2024-10-27
// (01:00 UTC, +7200 to +3600) L = 02:30 gives 00:30 UTC in the old period and 01:30 UTC in the new
// one; the earlier, 02:30 CEST, is taken.
int64_t ZoneRules::unixSecondsFromLocal(int64_t localSeconds) const {
    if (transitions_.empty() && fixedOffset_) {
        return localSeconds - offsets_.front();
    }
    const int64_t earliest = localSeconds - maxOffset_;
    const int64_t latest = localSeconds - minOffset_;
    if (earliest < tableStart_ || latest >= tableEnd_) {
        if (fromIcu_) {
            return icuUnixSecondsFromLocal(localSeconds);
        }
        const int32_t guess = offsetAt(localSeconds - offsets_.back());
        return localSeconds - offsetAt(localSeconds - guess);
    }
    const size_t first = periodAt(earliest);
    const size_t last = periodAt(latest);
    for (size_t k = first; k <= last; ++k) {
        const int64_t candidate = localSeconds - offsets_[k];
        const bool afterStart = k == 0 || candidate >= transitions_[k - 1];
        const bool beforeEnd = k == transitions_.size() || candidate < transitions_[k];
        if (afterStart && beforeEnd) {
            return candidate;
        }
    }
    for (size_t k = first; k < last; ++k) {
        if (localSeconds - offsets_[k] >= transitions_[k] &&
            localSeconds - offsets_[k + 1] < transitions_[k]) {
            return transitions_[k];
        }
    }
    return localSeconds - offsets_[last];
}

int64_t ZoneRules::unixSecondsFromLocal(int64_t localSeconds, int32_t preferredOffset) const {
    const int64_t candidate = localSeconds - preferredOffset;
    if (offsetAt(candidate) == preferredOffset) {
        return candidate;
    }
    return unixSecondsFromLocal(localSeconds);
}

}  // namespace ravelong
