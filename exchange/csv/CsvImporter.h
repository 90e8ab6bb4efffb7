#pragma once

#include <filesystem>
#include <functional>

#include "core/calendar/ZRCalendar.h"
#include "exchange/csv/CsvImportMapping.h"
#include "exchange/csv/ZRGenericCSVParserDelegate.h"
#include "exchange/csv/ZRGenericCSVValidatorDelegate.h"
#include "foundation/Clock.h"
#include "foundation/Error.h"

namespace ravelong {
class ManagedObjectContext;
class StoreStack;
}  // namespace ravelong

namespace ravelong::csv {

// The generic import of a delimiter-separated file into the user's store, all or nothing.
//
// validate() checks the whole file. importFile() validates it again (the file may have changed)
// on a private copy of the main context, making the tasks and timings of the good rows there in
// the same reading, and refuses a file that does not validate (the copy is thrown away). The
// repairs of day aggregates, parent timings and the task chain run on the copy, and only then are
// the changes pushed into the main context as one undo step
// "CSV Data Import" and the main context is saved. Any failure before the push changes nothing;
// a failed save of the main context undoes the step. Main thread, except importInto.
//
// importFile is importInto and commit in one call; a window that must stay responsive runs
// importInto on a worker thread (see CsvImportRunner) and commit back on the main thread.
class CsvImporter {
public:
    CsvImporter(StoreStack& stack, const Clock& clock, ZRCalendar calendar);

    Result<CsvValidation> validate(const std::filesystem::path& file,
                                   const CsvImportMapping& mapping) const;

    struct Outcome {
        CsvValidation validation;
        CsvImportCounts counts;
    };
    // Errors: a mapping whose tokens cannot describe a file (the status text), a file that
    // cannot be read or does not validate (kCSVDoesNotMatch, with the details as the reason), a
    // store that cannot take the changes.
    Result<Outcome> importFile(const std::filesystem::path& file, const CsvImportMapping& mapping,
                               const std::function<void()>& progress = {});

    // The first part of an import, for any thread: validates the file again and, in the same
    // reading, makes the tasks and timings of its good rows in `copy` (a private context of the
    // stack, used by this thread alone), with the repairs. On an Error throw `copy` away. Nothing
    // reaches the main context. `now` is the instant the import started (the clock is read on the
    // main thread); `progress` runs on this thread once per imported row.
    Result<Outcome> importInto(const std::filesystem::path& file, const CsvImportMapping& mapping,
                               ManagedObjectContext& copy, Instant now,
                               const std::function<void()>& progress = {}) const;
    // The second part, on the main thread: pushes `copy` into the main context as one undo step
    // "CSV Data Import" and saves; on a failed save the step is undone. All or nothing. `copy`
    // is left empty: it forgets its records before the main context takes them.
    Status commit(ManagedObjectContext& copy);

    StoreStack& stack() const { return stack_; }
    const Clock& clock() const { return clock_; }

private:
    StoreStack& stack_;
    const Clock& clock_;
    ZRCalendar calendar_;
};

// The failure message of a validation: the reader's error, or the first failing cells.
std::string describeValidationFailure(const CsvValidation& validation);

}  // namespace ravelong::csv
