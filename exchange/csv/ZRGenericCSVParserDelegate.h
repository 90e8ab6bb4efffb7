#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/calendar/ZRCalendar.h"
#include "exchange/csv/CsvImportMapping.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"

namespace ravelong {
class ManagedObjectContext;
class ZRCDTask;
}  // namespace ravelong

namespace ravelong::csv {

struct CsvImportCounts {
    std::uint64_t numberOfTasksCreated = 0;
    std::uint64_t numberOfTimingsImported = 0;
    // Rows whose task already has a timing with the same start and end (from an earlier import
    // of the same file, or earlier in this file).
    std::uint64_t numberOfRowsSkippedAsDuplicates = 0;
    // Rows the timing creation refused (longer than a timing may be).
    std::uint64_t numberOfRowsRefused = 0;
};

// The import pass: reads the file again and, for every row that counts, finds or creates its
// tasks among the imported ones (origin type 2; names compared exactly) and creates its timing
// (origin type 2) in `context`. Nothing is saved here. Stops at the first reader error, which is
// returned; the caller then discards the context.
class ZRGenericCSVParserDelegate {
public:
    ZRGenericCSVParserDelegate(const CsvImportMapping& mapping, ZRCalendar calendar,
                               ManagedObjectContext& context, Instant now);

    // `progress` is called after each row that was not dropped.
    Result<CsvImportCounts> importBytes(std::string_view bytes,
                                        const std::function<void()>& progress = {});

private:
    ZRCDTask* taskFor(std::string_view name, ZRCDTask* parent);
    bool isDuplicate(ZRCDTask* task, Instant start, Instant end);

    CsvImportMapping mapping_;
    ZRCalendar calendar_;
    ManagedObjectContext& context_;
    Instant now_;
    CsvImportCounts counts_;
    std::map<std::pair<ZRCDTask*, std::string>, ZRCDTask*, std::less<>> tasks_;
    std::unordered_map<ZRCDTask*, std::set<std::pair<Instant, Instant>>> spans_;
};

}  // namespace ravelong::csv
