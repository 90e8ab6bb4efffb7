#pragma once

#include <unicode/uversion.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/calendar/PosixZoneRule.h"

U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END

// ICU zones built from offsets we read ourselves, so that ICU's formatters and week computations
// agree with our day boundaries instead of following ICU's own, older copy of the zone data.
namespace ravelong::icu_zones {

// A zone called `id` with the given changes: offsets[0] before transitions[0], offsets[i + 1] from
// transitions[i] on (unix seconds, seconds east of GMT), summer[i] marking summer time. The first
// `historicCount` transitions are given to ICU one by one; after them `finalRule`, when it has
// summer time on month/week/weekday dates ICU can express, continues the changes from the year
// after the last historic one. Otherwise every transition is historic and the last offset stays.
// Never null: should ICU refuse the rules, a zone fixed at the last offset is returned.
std::unique_ptr<icu::TimeZone> fromTransitions(const std::string& id,
                                               const std::vector<int64_t>& transitions,
                                               const std::vector<int32_t>& offsets,
                                               const std::vector<bool>& summer,
                                               const PosixZoneRule* finalRule, size_t historicCount,
                                               int64_t finalStartYear);

// Whether fromTransitions can hand the rule to ICU as yearly rules.
bool canExpressYearly(const PosixZoneRule& rule);

}  // namespace ravelong::icu_zones
