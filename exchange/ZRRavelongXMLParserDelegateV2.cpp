#include "exchange/ZRRavelongXMLParserDelegateV2.h"

#include "core/model/ZRCDTiming.h"
#include "exchange/BackupTexts.h"

namespace ravelong {

namespace texts = backup_texts;

Result<bool> ZRRavelongXMLParserDelegateV2::timingField(std::string_view name,
                                                        std::string_view text) {
    if (name == texts::kMaxDate) {
        auto value = date(name, text);
        if (!value)
            return value.error();
        timing_.maxDate = *value;
        return true;
    }
    if (name == texts::kTimezone) {
        auto value = integer(name, text, INT32_MIN, INT32_MAX);
        if (!value)
            return value.error();
        timing_.timezoneOffset = static_cast<std::int32_t>(*value);
        return true;
    }
    if (name == texts::kNewDay)
        return true;  // not part of this generation
    return ZRRavelongXMLParserDelegateV3::timingField(name, text);
}

ZRCDTiming* ZRRavelongXMLParserDelegateV2::createTiming(ZRCDTask* task) {
    return ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
        timing_.startDate, timing_.endDate,
        timing_.maxDate ? timing_.maxDate : std::optional<Instant>(ZRCDTiming::kNoMaxDate),
        timing_.timezoneOffset, task, timing_.note,
        timing_.uuid.empty() ? std::nullopt : std::optional<std::string>(timing_.uuid),
        timing_.origin ? OriginRecordOrType(timing_.origin) : OriginRecordOrType(std::int16_t{0}),
        timing_.billing, context_);
}

}  // namespace ravelong
