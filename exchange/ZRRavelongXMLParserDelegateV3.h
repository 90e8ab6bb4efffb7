#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/ZRCDTask.h"
#include "exchange/ZRRavelongXMLParserDelegate.h"

namespace ravelong {

class ZRCDOrigin;

// Reads a backup of the current generation (root "dataV3"), element by element:
//
//   origins/originDescription   found or created by identity (udid, uid, type)
//   task ... taskOrigins        the task's own fields come first, so the task is made (or, for
//                               an import, found by uuid or former identifier) at the end of
//                               "taskOrigins"; its timings and child tasks follow
//   timing                      made at its end for the current task (import: an existing uuid
//                               is skipped)
//   childTasks                  one tier down, back up at its end
//
// The second generation differs only in its timings (ZRRavelongXMLParserDelegateV2).
class ZRRavelongXMLParserDelegateV3 : public ZRRavelongXMLParserDelegate {
public:
    using ZRRavelongXMLParserDelegate::ZRRavelongXMLParserDelegate;

    Status startElement(std::string_view name) override;
    Status endElement(std::string_view name, std::string_view text) override;

    // The tasks created, in file order.
    const std::vector<ZRCDTask*>& importedTasks() const { return importedTasks_; }

protected:
    // The fields of the timing being read, as both later generations have them.
    struct TimingFields {
        std::string uuid;
        std::optional<Instant> startDate;
        std::optional<Instant> endDate;
        std::optional<Instant> maxDate;
        std::int32_t newDay = 0;
        std::int32_t timezoneOffset = 0;
        std::optional<std::string> note;
        std::optional<std::string> timezone;
        ZRCDOrigin* origin = nullptr;
        std::int16_t billing = 0;
    };

    // Reads a timing's field; false when `name` is not one of them.
    virtual Result<bool> timingField(std::string_view name, std::string_view text);
    // Creates the timing of `timing_` for `task` (never null); nullptr when refused.
    virtual ZRCDTiming* createTiming(ZRCDTask* task);

    TimingFields timing_;

private:
    ZRCDTiming* createTimingKeepingItRunning(ZRCDTask* task);
    Status endTaskOrigins();
    Status endTiming();
    Status endOriginDescription();

    bool readingTask_ = false;
    bool readingTiming_ = false;
    bool readingOrigin_ = false;
    int tier_ = 1;
    ZRCDTask* currentTask_ = nullptr;
    ZRCDTask* parentTask_ = nullptr;
    ZRCDTask* grandparentTask_ = nullptr;
    ZRCDTask::ImportedTaskValues task_;

    struct OriginFields {
        std::int16_t type = -1;
        std::int32_t uid = -1;
        std::optional<Instant> userDate;
        std::optional<std::string> user;
        std::optional<std::string> udid;
        std::optional<Instant> deviceDate;
        std::optional<std::string> device;
    } origin_;

    std::vector<ZRCDTask*> importedTasks_;
};

}  // namespace ravelong
