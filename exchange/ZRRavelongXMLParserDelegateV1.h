#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/ZRCDTask.h"
#include "exchange/ZRRavelongXMLParserDelegate.h"

namespace ravelong {

// Reads a backup of the first generation (root "tasks"), which is also the transfer file of the
// upgrade from the oldest stores. Tasks and timings carry lists of legacy identifiers ("uid":
// origin, tid, cid, seconds, date, offset) instead of uuids; an identity text is formed from an
// identifier's tid and cid in lower-case hexadecimal, "t<tid>/<cid>" for a task and
// "g<tid>/<cid>" for a timing. Of several identifiers the earliest (by date) gives the identity,
// the creation date and the origin; the others become the task's former identifiers (`uids`).
//
// A task is made (or, for an import, found by any of its identity texts) at the end of its
// identifier list, which precedes its timings and child tasks. A timing whose identity already
// exists is skipped, in a restore too (older files can hold one twice).
class ZRRavelongXMLParserDelegateV1 final : public ZRRavelongXMLParserDelegate {
public:
    using ZRRavelongXMLParserDelegate::ZRRavelongXMLParserDelegate;

    Status startElement(std::string_view name) override;
    Status endElement(std::string_view name, std::string_view text) override;

    // The identity text of a legacy identifier ('t' for tasks, 'g' for timings).
    static std::string identityText(char kind, std::int64_t tid, std::int64_t cid);

private:
    struct Identifier {
        std::int16_t origin = 0;
        std::int64_t tid = 0;
        std::int64_t cid = 0;
        double seconds = 0;
        std::optional<Instant> date;
        std::int32_t offset = 0;
    };
    struct TimingFields {
        std::int32_t day = 0;
        double duration = 0;
        std::optional<std::string> notes;
        std::int32_t timezone = 0;
        std::optional<Instant> startDate;
        std::optional<Instant> endDate;
        std::optional<Instant> maxDate;
    };

    Status identifierField(std::string_view name, std::string_view text);
    Status timingField(std::string_view name, std::string_view text);
    Status endTaskIdentifiers();
    Status endTiming();
    // The identifiers by date, earliest first (without a date first of all).
    static std::vector<Identifier> byDate(std::vector<Identifier> identifiers);

    bool readingTiming_ = false;
    ZRCDTask* currentTask_ = nullptr;
    std::vector<ZRCDTask*> parents_;
    ZRCDTask::ImportedTaskValues task_;
    TimingFields timing_;
    Identifier identifier_;
    std::vector<Identifier> identifiers_;
    bool insideIdentifier_ = false;
};

}  // namespace ravelong
