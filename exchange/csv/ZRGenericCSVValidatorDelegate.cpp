#include "exchange/csv/ZRGenericCSVValidatorDelegate.h"

#include "exchange/CHCSVParser.h"

namespace ravelong::csv {
namespace {

constexpr Instant kEarliest = -kSecondsFromUnixEpochToReferenceDate;  // 1970-01-01 00:00 UTC
constexpr Instant kOneYear = 366 * 86400.0;

}  // namespace

ZRGenericCSVValidatorDelegate::ZRGenericCSVValidatorDelegate(const CsvImportMapping& mapping,
                                                             ZRCalendar calendar, Instant now)
    : mapping_(mapping), calendar_(std::move(calendar)), now_(now) {}

CsvValidation ZRGenericCSVValidatorDelegate::validateFile(const std::filesystem::path& path) {
    auto file = CsvMappedFile::open(path);
    if (!file.ok()) {
        CsvValidation result;
        result.error = file.error();
        return result;
    }
    return validateBytes(file->bytes());
}

CsvValidation ZRGenericCSVValidatorDelegate::validateBytes(
    std::string_view bytes, const std::function<void(const CsvImportRow&)>& eachGoodRow) {
    CsvValidation result;
    auto parser =
        CHCSVParser::initWithBytes(bytes, mapping_.encoding, mapping_.delimiterCharacter());
    if (!parser.ok()) {
        result.error = parser.error();
        return result;
    }
    CHCSVParser& reader = *parser.value();
    reader.setSanitizesFields(true);
    reader.setMaximumFieldLength(kLongestCell);
    result.encoding = reader.streamEncoding();

    CsvRowInterpreter interpreter(mapping_, calendar_);
    interpreter.setBounds(kEarliest, now_ + kOneYear);
    std::vector<std::string> cells;
    CsvImportRow row;
    while (reader.readRecord(cells)) {
        if (reader.currentRecord() <= static_cast<std::uint64_t>(mapping_.headerRows))
            continue;
        interpreter.interpret(cells, reader.currentRecord(), row);
        if (row.counts) {
            ++result.rowsSeen;
            ++result.numberOfGoodRows;
            if (eachGoodRow && result.numberOfSkippedRows <= kMostSkippedRows)
                eachGoodRow(row);
            continue;
        }
        if (row.allCellsEmpty)
            continue;
        ++result.rowsSeen;
        ++result.numberOfSkippedRows;
        if (result.skippedRows.size() < CsvValidation::kKeptFailures)
            result.skippedRows.push_back(std::move(row.skippedText));
        for (auto& failure : row.failures)
            if (result.failures.size() < CsvValidation::kKeptFailures)
                result.failures.push_back(std::move(failure));
    }
    if (reader.error()) {
        result.error = reader.error();
        return result;
    }
    if (const std::uint64_t line = reader.unclosedQuoteRecord()) {
        // The reader would take the rest of the file as one unfinished cell and drop it.
        result.error = Error{kCsvErrorDomain,
                             kCsvUnclosedQuoteError,
                             "Line " + std::to_string(line) +
                                 ": a quoted cell is not closed before the end of the file.",
                             {}};
        return result;
    }
    result.validates =
        !(result.numberOfSkippedRows > kMostSkippedRows ||
          (result.numberOfSkippedRows > 0 && result.numberOfSkippedRows >= result.rowsSeen / 2));
    return result;
}

}  // namespace ravelong::csv
