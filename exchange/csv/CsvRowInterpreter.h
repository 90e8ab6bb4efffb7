#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exchange/csv/CsvCellReader.h"
#include "exchange/csv/CsvImportMapping.h"
#include "foundation/Instant.h"

namespace ravelong::csv {

// A cell that could not be read: its line (record number, from 1), column (from 1) and why.
struct CsvCellFailure {
    std::uint64_t line = 0;
    int column = 0;
    std::string message;
};

// One data row as both import passes see it.
struct CsvImportRow {
    std::string task, subtask1, subtask2;
    std::optional<Instant> start, end;
    std::string notes;
    bool counts = true;  // cleared by any failed cell
    std::vector<CsvCellFailure> failures;
    std::string skippedText;  // "Line 3: cell   cell   " for the list of skipped rows
    bool allCellsEmpty = true;
};

// Turns the cells of a row into names, a start and an end, by the mapping's tokens. A date, start
// or end outside [earliest, latest] fails its cell when bounds are given (the validation pass).
// Not thread-safe.
class CsvRowInterpreter {
public:
    CsvRowInterpreter(const CsvImportMapping& mapping, ZRCalendar calendar);

    void setBounds(Instant earliest, Instant latest) { bounds_ = {earliest, latest}; }
    // Fills `row` from the cells of record `line`.
    void interpret(const std::vector<std::string>& cells, std::uint64_t line, CsvImportRow& row);

private:
    void fail(CsvImportRow& row, std::uint64_t line, int column, std::string message);
    bool inBounds(Instant instant) const;

    CsvImportMapping mapping_;
    CsvColumnIndexes columns_;
    CsvCellReader cells_;
    std::optional<std::pair<Instant, Instant>> bounds_;
};

}  // namespace ravelong::csv
