#include "exchange/csv/CsvPresets.h"

#include <algorithm>
#include <optional>

#include "core/durations/ZRDurationFormatter.h"
#include "exchange/CHCSVParser.h"
#include "exchange/csv/CsvCellReader.h"
#include "exchange/csv/CsvEncoding.h"
#include "exchange/csv/CsvTexts.h"

namespace ravelong::csv {
namespace {

struct ColumnRule {
    std::string_view column;  // compared without case
    std::string_view token;
};

struct PresetDefinition {
    CsvPresetInfo info;
    std::vector<std::string_view> required;
    std::vector<ColumnRule> columns;
};

const std::vector<PresetDefinition>& definitions() {
    static const std::vector<PresetDefinition> presets = {
        {{"toggl", "Toggl Track detailed report"},
         {"project", "description", "start date", "start time", "duration"},
         {{"project", kTokenTask},
          {"task", kTokenSubtask1},
          {"description", kTokenNotes},
          {"start date", kTokenDate},
          {"start time", kTokenStartTime},
          {"duration", kTokenDuration}}},
        {{"clockify", "Clockify detailed report"},
         {"project", "description", "start date", "start time", "duration (h)"},
         {{"project", kTokenTask},
          {"task", kTokenSubtask1},
          {"description", kTokenNotes},
          {"start date", kTokenDate},
          {"start time", kTokenStartTime},
          {"duration (h)", kTokenDuration}}},
        {{"watson", "Watson log (--csv)"},
         {"id", "start", "stop", "project"},
         {{"project", kTokenTask},
          {"start", kTokenStartDateTime},
          {"stop", kTokenEndDateTime},
          {"note", kTokenNotes}}},
        {{"hamster", "Hamster TSV export"},
         {"activity", "start time", "end time", "category"},
         {{"category", kTokenTask},
          {"activity", kTokenSubtask1},
          {"start time", kTokenStartDateTime},
          {"end time", kTokenEndDateTime},
          {"description", kTokenNotes}}},
        {{"kimai", "Kimai CSV export"},
         {"date", "from", "duration", "project", "activity"},
         {{"project", kTokenTask},
          {"activity", kTokenSubtask1},
          {"description", kTokenNotes},
          {"date", kTokenDate},
          {"from", kTokenStartTime},
          {"duration", kTokenDuration}}},
    };
    return presets;
}

std::string lowered(std::string_view text) {
    std::string out;
    for (char c : text)
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    const auto begin = out.find_first_not_of(" \t");
    const auto end = out.find_last_not_of(" \t");
    return begin == std::string::npos ? std::string() : out.substr(begin, end - begin + 1);
}

bool hasColumn(const std::vector<std::string>& header, std::string_view column) {
    return std::any_of(header.begin(), header.end(),
                       [&](const std::string& title) { return lowered(title) == column; });
}

const PresetDefinition* definition(std::string_view name) {
    for (const PresetDefinition& d : definitions())
        if (d.info.name == name)
            return &d;
    return nullptr;
}

// Patterns tried on the sample, in order; the first that reads every non-empty cell wins.
const std::vector<std::string> kDates = {"y-M-d",   "M/d/y", "dd/MM/y", "d.M.y",
                                         "dd-MM-y", "y/M/d", "d-MMM-yy"};
const std::vector<std::string> kTimes = {"HH:mm:ss", "HH:mm", "h:mm:ss a", "h:mm a"};
const std::vector<std::int64_t> kDurations = {
    ZRDurationFormatter::kHoursMinutesSeconds, ZRDurationFormatter::kHoursMinutes,
    ZRDurationFormatter::kDecimalHoursWithPoint, ZRDurationFormatter::kDecimalHoursWithPointOrComma,
    ZRDurationFormatter::kUnits};

std::vector<std::string> columnCells(const CsvFileSample& sample, int column) {
    std::vector<std::string> cells;
    for (const auto& row : sample.rows)
        if (static_cast<std::size_t>(column) < row.size() &&
            !row[static_cast<std::size_t>(column)].empty())
            cells.push_back(row[static_cast<std::size_t>(column)]);
    return cells;
}

template <class Reads>
bool readsAll(const std::vector<std::string>& cells, Reads reads) {
    return !cells.empty() && std::all_of(cells.begin(), cells.end(), reads);
}

}  // namespace

const std::vector<CsvPresetInfo>& csvPresets() {
    static const std::vector<CsvPresetInfo> infos = [] {
        std::vector<CsvPresetInfo> list;
        for (const PresetDefinition& d : definitions())
            list.push_back(d.info);
        return list;
    }();
    return infos;
}

Result<CsvFileSample> sampleFile(const std::filesystem::path& file, std::size_t rows) {
    auto mapped = CsvMappedFile::open(file);
    if (!mapped.ok())
        return mapped.error();
    CsvFileSample best;
    std::size_t bestCells = 0;
    std::optional<Error> failure;
    for (int delimiter = 0; delimiter < 3; ++delimiter) {
        CsvImportMapping m;
        m.delimiter = delimiter;
        auto parser = CHCSVParser::initWithBytes(mapped->bytes(), "", m.delimiterCharacter());
        if (!parser.ok())
            return parser.error();
        parser.value()->setSanitizesFields(true);
        parser.value()->setMaximumFieldLength(64 * 1024);
        CsvFileSample sample;
        sample.delimiter = delimiter;
        sample.encoding = parser.value()->streamEncoding();
        if (!parser.value()->readRecord(sample.header)) {
            failure = parser.value()->error();
            continue;
        }
        std::vector<std::string> row;
        while (sample.rows.size() < rows && parser.value()->readRecord(row))
            sample.rows.push_back(row);
        if (sample.header.size() > bestCells) {
            bestCells = sample.header.size();
            best = std::move(sample);
        }
    }
    if (bestCells == 0)
        return failure ? *failure
                       : Error{kCsvErrorDomain, 0, "The file has no title line to judge.", {}};
    return best;
}

std::vector<CsvPresetInfo> detectPresets(const std::vector<std::string>& header) {
    std::vector<std::pair<std::size_t, CsvPresetInfo>> found;
    for (const PresetDefinition& d : definitions()) {
        if (!std::all_of(d.required.begin(), d.required.end(),
                         [&](std::string_view c) { return hasColumn(header, c); }))
            continue;
        std::size_t known = 0;
        for (const ColumnRule& rule : d.columns)
            known += hasColumn(header, rule.column);
        found.emplace_back(known, d.info);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<CsvPresetInfo> infos;
    for (const auto& f : found)
        infos.push_back(f.second);
    return infos;
}

Result<CsvPresetMapping> mappingFor(std::string_view presetName, const CsvFileSample& sample,
                                    const ZRCalendar& calendar) {
    const PresetDefinition* preset = definition(presetName);
    if (!preset) {
        std::string names;
        for (const CsvPresetInfo& info : csvPresets())
            names += (names.empty() ? "" : ", ") + std::string(info.name);
        return Error{
            kCsvErrorDomain,
            0,
            "There is no preset \"" + std::string(presetName) + "\" (presets: " + names + ").",
            {}};
    }
    std::vector<std::string> missing;
    for (std::string_view column : preset->required)
        if (!hasColumn(sample.header, column))
            missing.emplace_back(column);
    if (!missing.empty()) {
        std::string list;
        for (const std::string& m : missing)
            list += (list.empty() ? "\"" : ", \"") + m + "\"";
        return Error{kCsvErrorDomain,
                     0,
                     "The file is not a " + std::string(preset->info.title) +
                         ": its title line lacks " + list + ".",
                     {}};
    }
    CsvPresetMapping result;
    CsvImportMapping& m = result.mapping;
    m.delimiter = sample.delimiter;
    m.headerRows = 1;
    int dateColumn = -1, timeColumn = -1, durationColumn = -1;
    std::vector<int> dateTimeColumns;
    for (std::size_t i = 0; i < sample.header.size(); ++i) {
        const std::string title = lowered(sample.header[i]);
        std::string_view token = kTokenIgnore;
        for (const ColumnRule& rule : preset->columns)
            if (rule.column == title)
                token = rule.token;
        // A token taken by an earlier column of the same title stays with that column.
        if (token != kTokenIgnore &&
            std::find(m.tokens.begin(), m.tokens.end(), token) != m.tokens.end())
            token = kTokenIgnore;
        m.tokens.emplace_back(token);
        const int column = static_cast<int>(i);
        if (token == kTokenIgnore)
            result.unmappedColumns.push_back(sample.header[i]);
        else if (token == kTokenDate)
            dateColumn = column;
        else if (token == kTokenStartTime)
            timeColumn = column;
        else if (token == kTokenDuration)
            durationColumn = column;
        else if (token == kTokenStartDateTime || token == kTokenEndDateTime)
            dateTimeColumns.push_back(column);
    }

    // Formats: the first candidate that reads every sampled cell of its column.
    auto chooseDate = [&](const std::vector<std::string>& cells) {
        for (const std::string& pattern : kDates) {
            CsvCellReader reader(CsvImportMapping{{}, pattern, "HH:mm"}, calendar);
            if (readsAll(cells, [&](const std::string& c) { return reader.day(c).has_value(); }))
                return pattern;
        }
        return std::string();
    };
    auto chooseTime = [&](const std::vector<std::string>& cells) {
        for (const std::string& pattern : kTimes) {
            CsvCellReader reader(CsvImportMapping{{}, "y-M-d", pattern}, calendar);
            if (readsAll(cells, [&](const std::string& c) {
                    return reader.timeOfDay(reader.normaliseMarkers(c)).has_value();
                }))
                return pattern;
        }
        return std::string();
    };
    if (dateColumn >= 0)
        m.datePattern = chooseDate(columnCells(sample, dateColumn));
    if (timeColumn >= 0)
        m.timePattern = chooseTime(columnCells(sample, timeColumn));
    if (!dateTimeColumns.empty()) {
        const std::vector<std::string> cells = columnCells(sample, dateTimeColumns.front());
        for (const std::string& date : kDates) {
            for (const std::string& time : kTimes) {
                CsvCellReader reader(CsvImportMapping{{}, date, time}, calendar);
                if (m.datePattern.empty() && readsAll(cells, [&](const std::string& c) {
                        return reader.dateAndTime(reader.normaliseMarkers(c)).has_value();
                    })) {
                    m.datePattern = date;
                    m.timePattern = time;
                }
            }
        }
    }
    if (durationColumn >= 0) {
        const std::vector<std::string> cells = columnCells(sample, durationColumn);
        for (std::int64_t code : kDurations) {
            ZRDurationFormatter formatter(code);
            if (readsAll(cells, [&](const std::string& c) {
                    return formatter.durationFromString(c) >= 0;
                })) {
                m.durationCode = code;
                break;
            }
        }
    }
    const bool needsDate = dateColumn >= 0 || !dateTimeColumns.empty();
    const bool needsTime = timeColumn >= 0 || !dateTimeColumns.empty();
    if (needsDate && m.datePattern.empty())
        result.notes.emplace_back("The date format of the file was not recognised; choose it.");
    if (needsTime && m.timePattern.empty())
        result.notes.emplace_back("The time format of the file was not recognised; choose it.");
    if (durationColumn >= 0 && m.durationCode == 0)
        result.notes.emplace_back("The duration format of the file was not recognised; choose it.");
    return result;
}

}  // namespace ravelong::csv
