#include "core/calendar/IcuZones.h"

#include <unicode/dtrule.h>
#include <unicode/rbtz.h>
#include <unicode/simpletz.h>
#include <unicode/tzrule.h>

#include <algorithm>
#include <map>
#include <optional>

#include "foundation/Log.h"

namespace ravelong::icu_zones {

namespace {

struct Split {
    int32_t raw = 0;
    int32_t dst = 0;
    bool operator<(const Split& other) const {
        return raw != other.raw ? raw < other.raw : dst < other.dst;
    }
};

// ICU wants each offset as standard offset plus summer saving. Summer periods take the standard
// offset in force before them; a summer time at or below standard time (Europe/Dublin's winter)
// is handed over as standard time, which keeps the total offset, all that counting relies on.
std::vector<Split> splitOffsets(const std::vector<int32_t>& offsets,
                                const std::vector<bool>& summer) {
    std::vector<Split> splits(offsets.size());
    std::optional<int32_t> standard;
    for (size_t k = 0; k < offsets.size(); ++k) {
        if (!summer[k]) {
            standard = offsets[k];
            splits[k] = {offsets[k], 0};
            continue;
        }
        const int32_t base = standard.value_or(offsets[k] - 3600);
        splits[k] = offsets[k] > base ? Split{base, offsets[k] - base} : Split{offsets[k], 0};
    }
    return splits;
}

icu::DateTimeRule* yearlyDate(const PosixZoneRule::Date& date) {
    return new icu::DateTimeRule(date.month - 1, date.week == 5 ? -1 : date.week, date.weekday + 1,
                                 date.time * 1000, icu::DateTimeRule::WALL_TIME);
}

std::unique_ptr<icu::TimeZone> fixedZone(const icu::UnicodeString& id, int32_t offset) {
    return std::make_unique<icu::SimpleTimeZone>(offset * 1000, id);
}

}  // namespace

bool canExpressYearly(const PosixZoneRule& rule) {
    using Kind = PosixZoneRule::Date::Kind;
    for (const auto* date : {&rule.summerStart(), &rule.summerEnd()}) {
        if (date->kind != Kind::monthWeekDay || date->time < 0 || date->time >= 86400) {
            return false;
        }
    }
    return rule.hasSummerTime() && rule.summerOffset() != rule.standardOffset();
}

std::unique_ptr<icu::TimeZone> fromTransitions(const std::string& id,
                                               const std::vector<int64_t>& transitions,
                                               const std::vector<int32_t>& offsets,
                                               const std::vector<bool>& summer,
                                               const PosixZoneRule* finalRule, size_t historicCount,
                                               int64_t finalStartYear) {
    const auto name = icu::UnicodeString::fromUTF8(id);
    const bool yearly = finalRule != nullptr && canExpressYearly(*finalRule);
    if (transitions.empty() && !yearly) {
        return fixedZone(name, offsets.front());
    }
    const std::vector<Split> splits = splitOffsets(offsets, summer);
    auto zone = std::make_unique<icu::RuleBasedTimeZone>(
        name, new icu::InitialTimeZoneRule(name, splits[0].raw * 1000, splits[0].dst * 1000));
    // One rule per distinct offset, holding every instant that offset begins.
    std::map<Split, std::vector<UDate>> starts;
    const size_t historic =
        yearly ? std::min(historicCount, transitions.size()) : transitions.size();
    for (size_t i = 0; i < historic; ++i) {
        starts[splits[i + 1]].push_back(static_cast<double>(transitions[i]) * 1000.0);
    }
    UErrorCode status = U_ZERO_ERROR;
    for (const auto& [split, times] : starts) {
        zone->addTransitionRule(
            new icu::TimeArrayTimeZoneRule(name, split.raw * 1000, split.dst * 1000, times.data(),
                                           static_cast<int32_t>(times.size()),
                                           icu::DateTimeRule::UTC_TIME),
            status);
    }
    if (yearly) {
        const int32_t raw = std::min(finalRule->standardOffset(), finalRule->summerOffset());
        const auto year = static_cast<int32_t>(finalStartYear);
        zone->addTransitionRule(
            new icu::AnnualTimeZoneRule(name, raw * 1000, (finalRule->summerOffset() - raw) * 1000,
                                        yearlyDate(finalRule->summerStart()), year,
                                        icu::AnnualTimeZoneRule::MAX_YEAR),
            status);
        zone->addTransitionRule(
            new icu::AnnualTimeZoneRule(
                name, raw * 1000, (finalRule->standardOffset() - raw) * 1000,
                yearlyDate(finalRule->summerEnd()), year, icu::AnnualTimeZoneRule::MAX_YEAR),
            status);
    }
    zone->complete(status);
    if (U_FAILURE(status)) {
        logWarning("time zone", "cannot hand the rules of " + id + " to ICU (" +
                                    u_errorName(status) +
                                    "); its names and formats use a fixed offset");
        return fixedZone(name, offsets.back());
    }
    return zone;
}

}  // namespace ravelong::icu_zones
