#include "exchange/ZRRavelongXMLParserDelegateV3.h"

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupTexts.h"
#include "foundation/Log.h"

namespace ravelong {

namespace texts = backup_texts;

Status ZRRavelongXMLParserDelegateV3::startElement(std::string_view name) {
    if (name == texts::kTask) {
        readingTask_ = true;
        readingTiming_ = false;
        readingOrigin_ = false;
        task_ = {};
        task_.createdDay = -1;
    } else if (name == texts::kTimings) {
        readingTiming_ = true;
    } else if (name == texts::kTiming) {
        timing_ = {};
    } else if (name == texts::kOrigins) {
        readingOrigin_ = true;
    } else if (name == texts::kChildTasks) {
        ++tier_;
        grandparentTask_ = parentTask_;
        parentTask_ = currentTask_;
    }
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV3::endElement(std::string_view name, std::string_view text) {
    if (readingTiming_) {
        if (name == texts::kTiming)
            return endTiming();
        if (name == texts::kTimings) {
            readingTiming_ = false;
            return Status::success();
        }
        auto read = timingField(name, text);
        return read ? Status::success() : Status(read.error());
    }
    if (readingOrigin_ && !readingTask_) {
        if (name == texts::kOriginDescription)
            return endOriginDescription();
        if (name == texts::kType || name == texts::kUid) {
            const bool isType = name == texts::kType;
            auto value =
                integer(name, text, isType ? INT16_MIN : INT32_MIN, isType ? INT16_MAX : INT32_MAX);
            if (!value)
                return value.error();
            if (isType)
                origin_.type = static_cast<std::int16_t>(*value);
            else
                origin_.uid = static_cast<std::int32_t>(*value);
        } else if (name == texts::kUserDate || name == texts::kDeviceDate) {
            auto value = date(name, text);
            if (!value)
                return value.error();
            (name == texts::kUserDate ? origin_.userDate : origin_.deviceDate) = *value;
        } else if (name == texts::kUser) {
            origin_.user = std::string(text);
        } else if (name == texts::kUdid) {
            origin_.udid = std::string(trimmed(text));
        } else if (name == texts::kDevice) {
            origin_.device = std::string(text);
        }
        return Status::success();
    }
    if (name == texts::kName) {
        task_.taskName = std::string(text);
    } else if (name == texts::kDescription) {
        task_.taskDescription = std::string(text);
    } else if (name == texts::kUids) {
        task_.uids = nonEmpty(text);
    } else if (name == texts::kUuid) {
        task_.uuid = std::string(trimmed(text));
    } else if (name == texts::kColor) {
        auto value = color(text);
        if (!value)
            return value.error();
        task_.color = *value;
    } else if (name == texts::kArchived) {
        task_.isArchived = trimmed(text) == "1";
    } else if (name == texts::kCreatedDay) {
        auto value = integer(name, text, INT32_MIN, INT32_MAX);
        if (!value)
            return value.error();
        task_.createdDay = static_cast<std::int32_t>(*value);
    } else if (name == texts::kRounding) {
        auto value = integer(name, text, -1, INT16_MAX);
        if (!value)
            return value.error();
        task_.rounding = static_cast<std::int16_t>(*value);
    } else if (name == texts::kDate) {
        auto value = date(name, text);
        if (!value)
            return value.error();
        task_.date = *value;
    } else if (name == texts::kOrigin) {
        task_.origins.push_back(originNamed(text));
    } else if (name == texts::kTaskOrigins) {
        return endTaskOrigins();
    } else if (name == texts::kChildTasks) {
        --tier_;
        currentTask_ = parentTask_;
        parentTask_ = tier_ == 1 ? nullptr : grandparentTask_;
    }
    return Status::success();
}

Result<bool> ZRRavelongXMLParserDelegateV3::timingField(std::string_view name,
                                                        std::string_view text) {
    if (name == texts::kUuid) {
        timing_.uuid = std::string(trimmed(text));
    } else if (name == texts::kStartDate || name == texts::kEndDate) {
        auto value = date(name, text);
        if (!value)
            return value.error();
        (name == texts::kStartDate ? timing_.startDate : timing_.endDate) = *value;
    } else if (name == texts::kNewDay) {
        auto value = integer(name, text, INT32_MIN, INT32_MAX);
        if (!value)
            return value.error();
        timing_.newDay = static_cast<std::int32_t>(*value);
    } else if (name == texts::kBilling) {
        auto value = integer(name, text, INT16_MIN, INT16_MAX);
        if (!value)
            return value.error();
        timing_.billing = static_cast<std::int16_t>(*value);
    } else if (name == texts::kNote) {
        timing_.note = nonEmptyText(text);
    } else if (name == texts::kTimezone) {
        timing_.timezone = nonEmpty(text);
    } else if (name == texts::kOrigin) {
        timing_.origin = originNamed(text);
    } else {
        return false;
    }
    return true;
}

ZRCDTiming* ZRRavelongXMLParserDelegateV3::createTiming(ZRCDTask* task) {
    return ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
        timing_.startDate, timing_.endDate, timing_.newDay, timing_.timezone, task, timing_.note,
        timing_.uuid.empty() ? std::nullopt : std::optional<std::string>(timing_.uuid),
        timing_.origin ? OriginRecordOrType(timing_.origin) : OriginRecordOrType(std::int16_t{0}),
        timing_.billing, context_);
}

ZRCDTiming* ZRRavelongXMLParserDelegateV3::createTimingKeepingItRunning(ZRCDTask* task) {
    // The creators make stopped timings only. A timing that was running when the backup was
    // written is made stopped at its start and then set running again, so that a restore gives
    // back what the file holds instead of dropping it.
    const bool running = timing_.endDate == kSentinelDate && timing_.startDate;
    if (running)
        timing_.endDate = timing_.startDate;
    ZRCDTiming* timing = createTiming(task);
    if (timing && running)
        timing->setEndDate(kSentinelDate);
    return timing;
}

Status ZRRavelongXMLParserDelegateV3::endTiming() {
    if (Status first = firstTimingUUID(timing_.uuid); !first)
        return first;
    if (!currentTask_)
        return contentError("The file holds a timing outside a task.");
    if (updatingDatabase_ && !timing_.uuid.empty() &&
        ZRCDTiming::getCoreDataTimingWithUUID(timing_.uuid, context_)) {
        ++counts_.numberOfSkippedTimings;
    } else if (createTimingKeepingItRunning(currentTask_)) {
        ++counts_.numberOfImportedTimings;
    } else {
        timingRefused(timing_.uuid, currentTask_->taskName().value_or(""));
    }
    timing_ = {};
    advanceProgress();
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV3::endTaskOrigins() {
    if (parentTask_ && !parentTask_->timings().empty())
        logWarning("parserDidEndElement", texts::kParentHasTimings);
    if (Status first = firstTaskUUID(task_.uuid.value_or("")); !first)
        return first;
    ZRCDTask* found = nullptr;
    if (updatingDatabase_) {
        if (task_.uuid && !task_.uuid->empty())
            found = ZRCDTask::getCoreDataTaskWithUUIDOrUID(*task_.uuid, context_);
        if (!found && task_.uids) {
            std::string_view uids = *task_.uids;
            while (!found && !uids.empty()) {
                const std::size_t at = uids.find(ZRCDTask::kUIDSeparator);
                const std::string_view uid = uids.substr(0, at);
                if (!uid.empty())
                    found = ZRCDTask::getCoreDataTaskWithUUIDOrUID(uid, context_);
                uids = at == std::string_view::npos
                           ? std::string_view()
                           : uids.substr(at + ZRCDTask::kUIDSeparator.size());
            }
        }
    }
    if (found) {
        currentTask_ = found;
        ++counts_.numberOfSkippedTasks;
    } else {
        task_.parentTask = parentTask_;
        currentTask_ = ZRCDTask::createCoreDataTaskImportWithValues(task_, context_);
        if (!currentTask_)
            return contentError("The task \"" + task_.taskName.value_or("") +
                                "\" could not be made.");
        importedTasks_.push_back(currentTask_);
        ++counts_.numberOfImportedTasks;
    }
    task_ = {};
    task_.createdDay = -1;
    advanceProgress();
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV3::endOriginDescription() {
    ZRCDOrigin* origin = ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        origin_.device, origin_.deviceDate, origin_.udid, origin_.user, origin_.userDate,
        origin_.uid, origin_.type, context_);
    rememberOrigin(origin);
    origin_ = {};
    advanceProgress();
    return Status::success();
}

}  // namespace ravelong
