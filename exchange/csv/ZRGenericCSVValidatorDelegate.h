#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar/ZRCalendar.h"
#include "exchange/csv/CsvImportMapping.h"
#include "exchange/csv/CsvRowInterpreter.h"
#include "foundation/Error.h"
#include "foundation/Instant.h"

namespace ravelong::csv {

// The outcome of checking a whole file against a mapping.
struct CsvValidation {
    bool validates = false;
    // Why the file could not be read at all (encoding, grammar, an unclosed quote), if so.
    std::optional<Error> error;
    // Rows that do not count, as "Line 3: cell   cell   ", and every failing cell; both lists
    // keep the first kKeptFailures entries, the counts go on.
    std::vector<std::string> skippedRows;
    std::vector<CsvCellFailure> failures;
    std::uint64_t numberOfSkippedRows = 0;
    std::uint64_t numberOfGoodRows = 0;
    std::uint64_t rowsSeen = 0;
    std::string encoding;  // the encoding the file was read in

    static constexpr std::size_t kKeptFailures = 1000;
};

// The validation pass: reads every row of the file with sanitized fields and judges it. Rows
// whose cells are all empty are ignored; the file validates unless more than 20 rows, or at
// least half of the rows seen, fail. Dates must lie between 1970-01-01 and one year after `now`.
// Memory stays bounded whatever the file's size: rows are read one at a time and the lists are
// capped.
class ZRGenericCSVValidatorDelegate {
public:
    ZRGenericCSVValidatorDelegate(const CsvImportMapping& mapping, ZRCalendar calendar,
                                  Instant now);

    CsvValidation validateFile(const std::filesystem::path& path);
    // With `eachGoodRow`, an import that validates as it reads: it is called with every row that
    // counts, in file order, as long as the file can still validate.
    CsvValidation validateBytes(std::string_view bytes,
                                const std::function<void(const CsvImportRow&)>& eachGoodRow = {});

    // More failing rows than this and the file does not validate.
    static constexpr std::uint64_t kMostSkippedRows = 20;

    // Longest cell accepted (bytes of UTF-8); longer ones stop the validation with an error.
    static constexpr std::size_t kLongestCell = 1024 * 1024;

private:
    CsvImportMapping mapping_;
    ZRCalendar calendar_;
    Instant now_;
};

}  // namespace ravelong::csv
