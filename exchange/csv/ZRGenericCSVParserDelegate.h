#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "foundation/Instant.h"

namespace ravelong {
class ManagedObjectContext;
class ZRCDTask;
}  // namespace ravelong

namespace ravelong::csv {

struct CsvImportRow;

struct CsvImportCounts {
    std::uint64_t numberOfTasksCreated = 0;
    std::uint64_t numberOfTimingsImported = 0;
    // Rows whose task already has a timing with the same start and end (from an earlier import
    // of the same file, or earlier in this file).
    std::uint64_t numberOfRowsSkippedAsDuplicates = 0;
    // Rows the timing creation refused (longer than a timing may be).
    std::uint64_t numberOfRowsRefused = 0;
};

// The import of the rows the validation pass finds good: for each, finds or creates its tasks
// among the imported ones (origin type 2; names compared exactly) and creates its timing (origin
// type 2) in `context`. Nothing is saved here; should the file turn out not to validate, the
// caller discards the context.
class ZRGenericCSVParserDelegate {
public:
    ZRGenericCSVParserDelegate(ManagedObjectContext& context, Instant now);

    // Takes one row that counts. False when the row names no task or lacks a start or an end
    // (it is dropped, and counted nowhere).
    bool importRow(const CsvImportRow& row);
    const CsvImportCounts& counts() const { return counts_; }

private:
    ZRCDTask* taskFor(std::string_view name, ZRCDTask* parent);
    bool isDuplicate(ZRCDTask* task, Instant start, Instant end);

    ManagedObjectContext& context_;
    Instant now_;
    CsvImportCounts counts_;
    std::map<std::pair<ZRCDTask*, std::string>, ZRCDTask*, std::less<>> tasks_;
    // The start and end of each timing of the tasks met so far, theirs and this file's.
    struct Span {
        const ZRCDTask* task;
        Instant start, end;
        bool operator==(const Span&) const = default;
    };
    struct SpanHash {
        std::size_t operator()(const Span& span) const;
    };
    std::unordered_set<const ZRCDTask*> tasksWithSpans_;
    std::unordered_set<Span, SpanHash> spans_;
};

}  // namespace ravelong::csv
