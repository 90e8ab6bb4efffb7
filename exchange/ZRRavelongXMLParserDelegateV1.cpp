#include "exchange/ZRRavelongXMLParserDelegateV1.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "core/calendar/DayNumbers.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/BackupTexts.h"
#include "foundation/Uuid.h"

namespace ravelong {

namespace texts = backup_texts;

std::string ZRRavelongXMLParserDelegateV1::identityText(char kind, std::int64_t tid,
                                                        std::int64_t cid) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%c%llx/%llx", kind, static_cast<unsigned long long>(tid),
                  static_cast<unsigned long long>(cid));
    return buffer;
}

std::vector<ZRRavelongXMLParserDelegateV1::Identifier> ZRRavelongXMLParserDelegateV1::byDate(
    std::vector<Identifier> identifiers) {
    std::stable_sort(identifiers.begin(), identifiers.end(),
                     [](const Identifier& a, const Identifier& b) { return a.date < b.date; });
    return identifiers;
}

Status ZRRavelongXMLParserDelegateV1::startElement(std::string_view name) {
    if (name == texts::kTask) {
        readingTiming_ = false;
        task_ = {};
        identifiers_.clear();
    } else if (name == texts::kTiming) {
        readingTiming_ = true;
        timing_ = {};
        identifiers_.clear();
    } else if (name == texts::kUid) {
        identifier_ = {};
        insideIdentifier_ = true;
    } else if (name == texts::kChildTasks) {
        parents_.push_back(currentTask_);
    }
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV1::endElement(std::string_view name, std::string_view text) {
    if (insideIdentifier_) {
        if (name == texts::kUid) {
            insideIdentifier_ = false;
            identifiers_.push_back(identifier_);
            return Status::success();
        }
        return identifierField(name, text);
    }
    if (name == texts::kUids)
        return readingTiming_ ? Status::success() : endTaskIdentifiers();
    if (readingTiming_) {
        if (name == texts::kTiming) {
            Status ended = endTiming();
            readingTiming_ = false;
            return ended;
        }
        return timingField(name, text);
    }
    if (name == texts::kName) {
        task_.taskName = std::string(text);
    } else if (name == texts::kDescription) {
        task_.taskDescription = std::string(text);
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
    } else if (name == texts::kChildTasks) {
        currentTask_ = parents_.empty() ? nullptr : parents_.back();
        if (!parents_.empty())
            parents_.pop_back();
    }
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV1::identifierField(std::string_view name,
                                                      std::string_view text) {
    if (name == texts::kOrigin) {
        auto value = integer(name, text, INT16_MIN, INT16_MAX);
        if (!value)
            return value.error();
        identifier_.origin = static_cast<std::int16_t>(*value);
    } else if (name == texts::kTid || name == texts::kCid) {
        auto value = integer(name, text, INT64_MIN, INT64_MAX);
        if (!value)
            return value.error();
        (name == texts::kTid ? identifier_.tid : identifier_.cid) = *value;
    } else if (name == texts::kSeconds) {
        auto value = decimal(name, text);
        if (!value)
            return value.error();
        identifier_.seconds = *value;
    } else if (name == texts::kDate) {
        auto value = date(name, text);
        if (!value)
            return value.error();
        identifier_.date = *value;
    } else if (name == texts::kOffset) {
        auto value = integer(name, text, INT32_MIN, INT32_MAX);
        if (!value)
            return value.error();
        identifier_.offset = static_cast<std::int32_t>(*value);
    }
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV1::timingField(std::string_view name, std::string_view text) {
    if (name == texts::kDay || name == texts::kTimezone) {
        auto value = integer(name, text, INT32_MIN, INT32_MAX);
        if (!value)
            return value.error();
        (name == texts::kDay ? timing_.day : timing_.timezone) = static_cast<std::int32_t>(*value);
    } else if (name == texts::kDuration) {
        auto value = decimal(name, text);
        if (!value)
            return value.error();
        timing_.duration = *value;
    } else if (name == texts::kNotes) {
        timing_.notes = nonEmptyText(text);
    } else if (name == texts::kStartDate || name == texts::kEndDate || name == texts::kMaxDate) {
        auto value = date(name, text);
        if (!value)
            return value.error();
        (name == texts::kStartDate ? timing_.startDate
         : name == texts::kEndDate ? timing_.endDate
                                   : timing_.maxDate) = *value;
    }
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV1::endTaskIdentifiers() {
    const std::vector<Identifier> identifiers = byDate(identifiers_);
    std::vector<std::string> identities;
    for (const Identifier& identifier : identifiers)
        identities.push_back(identityText('t', identifier.tid, identifier.cid));
    if (!identities.empty()) {
        if (Status first = firstTaskUUID(identities.front()); !first)
            return first;
    }

    ZRCDTask* found = nullptr;
    if (updatingDatabase_) {
        for (const std::string& identity : identities) {
            if ((found = ZRCDTask::getCoreDataTaskWithUUIDOrUID(identity, context_)))
                break;
        }
    }
    ZRCDTask* parent = parents_.empty() ? nullptr : parents_.back();
    if (found) {
        currentTask_ = found;
        ++counts_.numberOfSkippedTasks;
    } else {
        std::int16_t originType = 0;
        if (!identifiers.empty()) {
            task_.uuid = identities.front();
            task_.date = identifiers.front().date;
            originType = identifiers.front().origin;
            std::string uids;
            for (std::size_t i = 1; i < identities.size(); ++i)
                uids += (uids.empty() ? "" : std::string(ZRCDTask::kUIDSeparator)) + identities[i];
            task_.uids = nonEmpty(uids);
        }
        task_.origins = {
            ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(originType, context_)};
        task_.parentTask = parent;
        currentTask_ = ZRCDTask::createCoreDataTaskImportWithValues(task_, context_);
        if (!currentTask_)
            return contentError("The task \"" + task_.taskName.value_or("") +
                                "\" could not be made.");
        ++counts_.numberOfImportedTasks;
    }
    task_ = {};
    identifiers_.clear();
    advanceProgress();
    return Status::success();
}

Status ZRRavelongXMLParserDelegateV1::endTiming() {
    if (!currentTask_)
        return contentError("The file holds a timing outside a task.");
    const std::vector<Identifier> identifiers = byDate(identifiers_);
    const Identifier* identifier = identifiers.empty() ? nullptr : &identifiers.front();
    // Without an identifier there is no identity to keep; the timing gets a new one.
    const std::string uuid =
        identifier ? identityText('g', identifier->tid, identifier->cid) : makeUuid();
    if (ZRCDTiming::timingWithUUIDExists(uuid, context_)) {
        ++counts_.numberOfSkippedTimings;
    } else {
        std::optional<Instant> start = timing_.startDate;
        std::optional<Instant> end = timing_.endDate;
        if ((!start || !end) && identifier && identifier->date) {
            start = identifier->date;
            end = *start + identifier->seconds;
        }
        if (!start || !end) {
            start = date_additions::noonFromZRYearMonthDay_usingTimezoneOffset(timing_.day,
                                                                               timing_.timezone);
            end = *start + timing_.duration;
        }
        const std::int16_t originType = identifier ? identifier->origin : std::int16_t{0};
        if (ZRCDTiming::createCoreDataTimingWithStartDate_andMaxDate(
                start, end, timing_.maxDate ? timing_.maxDate : ZRCDTiming::kNoMaxDate,
                timing_.timezone, currentTask_, timing_.notes, uuid, originType, 0, context_))
            ++counts_.numberOfImportedTimings;
        else
            timingRefused(uuid, currentTask_->taskName().value_or(""));
    }
    identifiers_.clear();
    timing_ = {};
    advanceProgress();
    return Status::success();
}

}  // namespace ravelong
