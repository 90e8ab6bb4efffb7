#include "exchange/csv/CsvRowInterpreter.h"

#include "exchange/csv/CsvTexts.h"

namespace ravelong::csv {
namespace {

std::string trimmed(const std::string& text) {
    // Whitespace and line breaks, ASCII and the no-break space.
    std::size_t begin = 0, end = text.size();
    auto space = [&](std::size_t i, bool back) -> std::size_t {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            return 1;
        if (!back && c == 0xC2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) == 0xA0)
            return 2;
        if (back && c == 0xA0 && i > 0 && static_cast<unsigned char>(text[i - 1]) == 0xC2)
            return 2;
        return 0;
    };
    while (begin < end) {
        const std::size_t n = space(begin, false);
        if (!n)
            break;
        begin += n;
    }
    while (end > begin) {
        const std::size_t n = space(end - 1, true);
        if (!n)
            break;
        end -= n;
    }
    return text.substr(begin, end - begin);
}

std::string quoted(const std::string& cell) {
    return "\"" + (cell.size() > 80 ? cell.substr(0, 80) + "..." : cell) + "\"";
}

}  // namespace

CsvRowInterpreter::CsvRowInterpreter(const CsvImportMapping& mapping, ZRCalendar calendar)
    : mapping_(mapping),
      columns_(columnIndexesOf(mapping.tokens)),
      cells_(mapping, std::move(calendar)) {}

void CsvRowInterpreter::fail(CsvImportRow& row, std::uint64_t line, int column,
                             std::string message) {
    row.counts = false;
    row.failures.push_back({line, column + 1, std::move(message)});
}

bool CsvRowInterpreter::inBounds(Instant instant) const {
    return !bounds_ || (instant >= bounds_->first && instant <= bounds_->second);
}

void CsvRowInterpreter::interpret(const std::vector<std::string>& cells, std::uint64_t line,
                                  CsvImportRow& row) {
    row = CsvImportRow{};
    const CsvColumnIndexes& c = columns_;
    auto cell = [&](int column, std::string_view token) -> const std::string* {
        if (column < 0)
            return nullptr;
        if (static_cast<std::size_t>(column) >= cells.size()) {
            fail(row, line, column,
                 "no cell for \"" + std::string(token) + "\": the line has only " +
                     std::to_string(cells.size()) + " cells");
            return nullptr;
        }
        return &cells[static_cast<std::size_t>(column)];
    };
    // Time cells are listed as the reader saw them, after the AM/PM spellings were normalised.
    std::vector<std::string> shown = cells;
    for (int column : {c.startTime, c.endTime, c.startDateTime, c.endDateTime})
        if (column >= 0 && static_cast<std::size_t>(column) < shown.size())
            shown[static_cast<std::size_t>(column)] =
                cells_.normaliseMarkers(shown[static_cast<std::size_t>(column)]);

    if (const std::string* text = cell(c.task, kTokenTask)) {
        row.task = trimmed(*text);
        if (row.task.empty())
            fail(row, line, c.task, "the task name is empty");
    }
    if (const std::string* text = cell(c.subtask1, kTokenSubtask1))
        row.subtask1 = trimmed(*text);
    if (const std::string* text = cell(c.subtask2, kTokenSubtask2))
        row.subtask2 = trimmed(*text);
    if (const std::string* text = cell(c.notes, kTokenNotes))
        row.notes = *text;

    std::optional<std::int64_t> day;
    if (const std::string* text = cell(c.date, kTokenDate)) {
        day = cells_.day(*text);
        if (!day)
            fail(row, line, c.date,
                 quoted(*text) + " is not a date of the form " + mapping_.datePattern);
        // Noon in UTC of the day (day 11323 is 2001-01-01) is near enough for a bound in years.
        else if (!inBounds(static_cast<Instant>(*day - 11323) * 86400.0 + 43200.0))
            fail(row, line, c.date, quoted(*text) + " lies outside the years that can be imported");
    }
    auto timeCell = [&](int column, std::string_view token) -> std::optional<std::int32_t> {
        if (!cell(column, token))
            return std::nullopt;
        const std::string& text = shown[static_cast<std::size_t>(column)];
        auto seconds = cells_.timeOfDay(text);
        if (!seconds)
            fail(row, line, column,
                 quoted(text) + " is not a time of the form " + mapping_.timePattern);
        return seconds;
    };
    const auto startTime = timeCell(c.startTime, kTokenStartTime);
    const auto endTime = timeCell(c.endTime, kTokenEndTime);
    auto dateTimeCell = [&](int column, std::string_view token) -> std::optional<Instant> {
        if (!cell(column, token))
            return std::nullopt;
        const std::string& text = shown[static_cast<std::size_t>(column)];
        const auto parts = cells_.dateAndTime(text);
        if (!parts) {
            fail(row, line, column,
                 quoted(text) + " is not a date and time of the form " + mapping_.datePattern +
                     " " + mapping_.timePattern);
            return std::nullopt;
        }
        const auto instant = cells_.instant(parts->first, parts->second);
        if (!instant)
            fail(row, line, column,
                 quoted(text) + " does not exist in the time zone " +
                     ZRCalendar::zrCalendar().timeZoneName());
        else if (!inBounds(*instant))
            fail(row, line, column, quoted(text) + " lies outside the years that can be imported");
        return instant;
    };
    const auto startDateTime = dateTimeCell(c.startDateTime, kTokenStartDateTime);
    const auto endDateTime = dateTimeCell(c.endDateTime, kTokenEndDateTime);
    double duration = -1;
    if (const std::string* text = cell(c.duration, kTokenDuration)) {
        duration = cells_.duration(*text);
        if (duration < 0)
            fail(row, line, c.duration, quoted(*text) + " is not a duration of the chosen form");
    }

    if (!row.subtask2.empty() && row.subtask1.empty())
        fail(row, line, c.subtask2, "a level-2 subtask needs a level-1 subtask");

    if (row.counts) {
        auto onDay = [&](std::optional<std::int32_t> time, int column) -> std::optional<Instant> {
            if (!day || !time)
                return std::nullopt;
            auto instant = cells_.instant(*day, *time);
            if (!instant)
                fail(row, line, column, "the time does not exist on that day in the time zone");
            return instant;
        };
        row.start = startDateTime ? startDateTime : onDay(startTime, c.startTime);
        row.end = endDateTime ? endDateTime : onDay(endTime, c.endTime);
        if (!row.end && row.start && duration >= 0)
            row.end = *row.start + duration;
        if (row.counts && row.start && row.end && *row.end < *row.start)
            fail(row, line, c.endTime >= 0 ? c.endTime : c.endDateTime,
                 "the entry ends before it starts");
    }

    for (const std::string& text : shown)
        if (!text.empty())
            row.allCellsEmpty = false;
    if (!row.counts) {
        row.skippedText = "Line " + std::to_string(line) + ": ";
        for (const std::string& text : shown)
            row.skippedText += text + "   ";
    }
}

}  // namespace ravelong::csv
