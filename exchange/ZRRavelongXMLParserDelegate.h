#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/model/TaskColor.h"
#include "exchange/BackupElementHandler.h"
#include "foundation/Instant.h"

namespace ravelong {

class ManagedObjectContext;
class ZRCDOrigin;

// The counters a restore or import reports.
struct BackupReadCounts {
    std::int64_t numberOfImportedTasks = 0;
    std::int64_t numberOfSkippedTasks = 0;
    std::int64_t numberOfUpdatedTasks = 0;
    std::int64_t numberOfImportedTimings = 0;
    std::int64_t numberOfSkippedTimings = 0;
    std::int64_t numberOfUpdatedTimings = 0;
    bool operator==(const BackupReadCounts&) const = default;
};

// The common part of the readers of the three backup generations: the mode, the counters, the
// progress, and the strict reading of the values. A reader creates records in the context it was
// given; it never saves. A value that cannot be read, or the same uuid twice in one file, ends the
// reading with an Error (kBackupContentCode): the caller then throws the context away.
//
// A timing the record creators refuse (no start or end, an end before the start, too long) is
// skipped: it counts as skipped and its description is kept in refusedTimings().
class ZRRavelongXMLParserDelegate : public BackupElementHandler {
public:
    // `updatingDatabase`: true for an import (merge, existing records kept), false for a restore
    // (every record of the file created; the caller has emptied the context first).
    ZRRavelongXMLParserDelegate(ManagedObjectContext& context, bool updatingDatabase);

    // Called after every finished origin, task and timing with the number finished so far.
    void setProgress(std::function<void(std::uint64_t)> progress) {
        progress_ = std::move(progress);
    }

    const BackupReadCounts& counts() const { return counts_; }
    const std::vector<std::string>& refusedTimings() const { return refusedTimings_; }

protected:
    void advanceProgress();
    void timingRefused(const std::string& uuid, std::string_view taskName);
    // An Error for content that cannot be taken.
    static Error contentError(std::string description);

    // Values, from an element's text with surrounding white space removed.
    static std::string_view trimmed(std::string_view text);
    static Result<std::int64_t> integer(std::string_view element, std::string_view text,
                                        std::int64_t minimum, std::int64_t maximum);
    // Seconds since 1970 as an instant; 0 gives no value.
    static Result<std::optional<Instant>> date(std::string_view element, std::string_view text);
    static Result<double> decimal(std::string_view element, std::string_view text);
    static Result<TaskColor> color(std::string_view text);
    // Identifiers and zone names lose surrounding white space; free text (names, descriptions,
    // notes) is taken as written, since the writer never pads it.
    static std::optional<std::string> nonEmpty(std::string_view text);
    static std::optional<std::string> nonEmptyText(std::string_view text);

    // Refuses a uuid already met in this file (empty uuids are not compared).
    Status firstTaskUUID(const std::string& uuid);
    Status firstTimingUUID(const std::string& uuid);

    // The origins known to the reading, by identity "udid//uid//type": the store's, then those
    // the file adds.
    ZRCDOrigin* originNamed(std::string_view text);
    void rememberOrigin(ZRCDOrigin* origin);

    ManagedObjectContext& context_;
    const bool updatingDatabase_;
    BackupReadCounts counts_;

private:
    std::function<void(std::uint64_t)> progress_;
    std::uint64_t done_ = 0;
    std::vector<std::string> refusedTimings_;
    std::unordered_set<std::string> taskUUIDs_;
    std::unordered_set<std::string> timingUUIDs_;
    std::unordered_map<std::string, ZRCDOrigin*> origins_;
};

}  // namespace ravelong
