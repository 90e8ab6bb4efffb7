#include "exchange/csv/CsvExport.h"

#include <unicode/datefmt.h>
#include <unicode/timezone.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_set>

#include "core/calendar/DayNumbers.h"
#include "core/calendar/TimeZones.h"
#include "core/durations/DateDurationStrings.h"
#include "core/durations/NumberDurationStrings.h"
#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "core/totals/TaskRounding.h"
#include "core/totals/TimingSetTotals.h"
#include "core/totals/TimingTotals.h"
#include "exchange/CHCSVParser.h"
#include "exchange/CHCSVWriter.h"
#include "exchange/csv/CsvEncoding.h"
#include "foundation/AtomicFile.h"

namespace ravelong::csv {

// Per zone: the zone's calendar, its date formatter and the texts of the days already written
// (entries crowd on few days, and ICU formatting is the dearest step of a row).
struct CsvExport::Formatters {
    struct Zone {
        std::optional<ZRCalendar> calendar;
        std::unique_ptr<icu::DateFormat> format;
        std::map<std::int64_t, std::string> days;
    };
    std::map<std::string, Zone, std::less<>> byZone;
};

using namespace date_additions;
using namespace number_additions;

namespace {

const ZRCDTask* taskOf(const CsvExportEntry& entry) {
    if (const auto* timing = std::get_if<const ZRCDTiming*>(&entry))
        return (*timing)->task();
    return std::get<const ZRCDTimingSet*>(entry)->task();
}

bool roundingOff(const CsvExportSettings& s) {
    return s.csvRounding != 0;  // any value but 0 rounds down
}

}  // namespace

CsvExportSettings CsvExportSettings::fromPreferences(const ZRCDExportPreferences& p) {
    CsvExportSettings s;
    s.csvEncoding = p.csvEncoding();
    s.csvDelimiter = p.csvDelimiter();
    s.csvColumnTitles = p.csvColumnTitles();
    s.csvSplitTask = p.csvSplitTask();
    s.csvStartDates = p.csvStartDates();
    s.csvStartTimes = p.csvStartTimes();
    s.csvEndDates = p.csvEndDates();
    s.csvEndTimes = p.csvEndTimes();
    s.csvDateFormat = p.csvDateFormat();
    s.csvDurations = p.csvDurations();
    s.csvDurationFormat = p.csvDurationFormat();
    s.csvShowSeconds = p.csvShowSeconds();
    s.csvRounding = p.csvRounding();
    s.csvRoundedDurations = p.csvRoundedDurations();
    s.csvRoundedEndTimes = p.csvRoundedEndTimes();
    s.csvNotes = p.csvNotes();
    s.csvTaskDescInNotes = p.csvTaskDescInNotes();
    s.csvTaskDescriptions = p.csvTaskDescriptions();
    s.csvTotalTime = p.csvTotalTime();
    return s;
}

void CsvExportSettings::storeIn(ZRCDExportPreferences& p) const {
    p.setCsvEncoding(csvEncoding);
    p.setCsvDelimiter(csvDelimiter);
    p.setCsvColumnTitles(csvColumnTitles);
    p.setCsvSplitTask(csvSplitTask);
    p.setCsvStartDates(csvStartDates);
    p.setCsvStartTimes(csvStartTimes);
    p.setCsvEndDates(csvEndDates);
    p.setCsvEndTimes(csvEndTimes);
    p.setCsvDateFormat(csvDateFormat);
    p.setCsvDurations(csvDurations);
    p.setCsvDurationFormat(csvDurationFormat);
    p.setCsvShowSeconds(csvShowSeconds);
    p.setCsvRounding(csvRounding);
    p.setCsvRoundedDurations(csvRoundedDurations);
    p.setCsvRoundedEndTimes(csvRoundedEndTimes);
    p.setCsvNotes(csvNotes);
    p.setCsvTaskDescInNotes(csvTaskDescInNotes);
    p.setCsvTaskDescriptions(csvTaskDescriptions);
    p.setCsvTotalTime(csvTotalTime);
}

char CsvExportSettings::delimiterCharacter() const {
    switch (csvDelimiter) {
        case 1:
            return ';';
        case 2:
            return ':';
        case 3:
            return '\t';
        case 4:
            return ' ';
        default:
            return ',';
    }
}

const char* CsvExportSettings::fileExtension() const {
    return csvDelimiter == 3 || csvDelimiter == 4 ? "txt" : "csv";
}

CsvExport::CsvExport(CsvExportSettings settings, bool hasRoundedTimings,
                     bool roundDurationsAfterCompact, ZRCalendar calendar)
    : settings_(settings),
      hasRoundedTimings_(hasRoundedTimings),
      roundDurationsAfterCompact_(roundDurationsAfterCompact),
      calendar_(std::move(calendar)),
      formatters_(std::make_unique<Formatters>()) {}

CsvExport::~CsvExport() = default;

std::vector<std::string> CsvExport::headerTitles() const {
    const CsvExportSettings& s = settings_;
    std::vector<std::string> titles = {"Task Name"};
    if (s.csvSplitTask) {
        titles.emplace_back();
        titles.emplace_back();
    }
    if (s.csvStartDates)
        titles.emplace_back("Timing Start Date");
    if (s.csvStartTimes)
        titles.emplace_back("Timing Start Time");
    if (s.csvEndDates)
        titles.emplace_back("Timing End Date");
    if (s.csvEndTimes)
        titles.emplace_back("Timing End Time");
    if (s.csvDurations)
        titles.emplace_back(s.csvDurationFormat == 0 ? "Timing Duration in Hours"
                                                     : "Timing Duration");
    if (s.csvNotes)
        titles.emplace_back(s.csvTaskDescInNotes ? "Timing Notes / Task Description"
                                                 : "Timing Notes");
    if (s.csvTaskDescriptions)
        titles.emplace_back("Task Description");
    return titles;
}

double CsvExport::durationOf(const CsvExportEntry& entry) const {
    const bool rounded = hasRoundedTimings_ && settings_.csvRoundedDurations;
    if (const auto* timing = std::get_if<const ZRCDTiming*>(&entry))
        return rounded ? timing_totals::durationWithRounding(**timing) : (*timing)->duration();
    const ZRCDTimingSet& set = *std::get<const ZRCDTimingSet*>(entry);
    if (rounded && roundDurationsAfterCompact_)
        return timing_set_totals::durationWithRoundingAfter(set);
    return rounded ? timing_set_totals::durationWithRounding(set) : set.duration();
}

std::string CsvExport::durationText(double seconds) const {
    const CsvExportSettings& s = settings_;
    if (s.csvDurationFormat == 0)
        return getStringOfDuration_decimalHours(seconds);
    if (s.csvShowSeconds) {
        if (s.csvDurationFormat == 2)
            return getStringOfDuration_hms(seconds);
        if (s.csvDurationFormat == 3)
            return getStringOfDuration_hoursMinutesSeconds(seconds);
        return getStringOfDuration_hhmmss(seconds);
    }
    const bool down = roundingOff(s);
    switch (s.csvDurationFormat) {
        case 1:
            return down ? getStringOfDuration_hmm_roundDown(seconds)
                        : getStringOfDuration_hmm_roundNearest(seconds);
        case 2:
            return down ? getStringOfDuration_hm_roundDown(seconds)
                        : getStringOfDuration_hm_roundNearest(seconds);
        case 3:
            return down ? getStringOfDuration_hoursMinutes_roundDown(seconds)
                        : getStringOfDuration_hoursMinutes_roundNearest(seconds);
        default:
            return down ? getStringOfDuration_hhmm_roundDown(seconds)
                        : getStringOfDuration_hhmm_roundNearest(seconds);
    }
}

std::string CsvExport::totalText(const std::vector<CsvExportEntry>& entries) const {
    const CsvExportSettings& s = settings_;
    if (s.csvDurationFormat == 0) {
        // Each row's two-decimal text, summed exactly in hundredths.
        std::int64_t hundredths = 0;
        for (const CsvExportEntry& entry : entries) {
            char text[64];
            std::snprintf(text, sizeof text, "%.2f", durationOf(entry) / 3600.0);
            double value = 0;
            std::sscanf(text, "%lf", &value);
            hundredths += std::llround(value * 100.0);
        }
        return getStringOfDuration_decimalHours(static_cast<double>(hundredths) * 36.0);
    }
    if (s.csvShowSeconds) {
        double seconds = 0;
        for (const CsvExportEntry& entry : entries)
            seconds += std::round(durationOf(entry));
        if (s.csvDurationFormat == 3)
            return getStringRepresentationOfSeconds_hoursMinutesSeconds(seconds);
        if (s.csvDurationFormat == 2)
            return getStringRepresentationOfSeconds_hms(seconds);
        return getStringRepresentationOfSeconds_hmmss(seconds);
    }
    std::int64_t minutes = 0;
    for (const CsvExportEntry& entry : entries)
        minutes += roundingOff(s) ? getMinutesOfDuration_roundDown(durationOf(entry))
                                  : getMinutesOfDuration_roundNearest(durationOf(entry));
    const auto m = static_cast<double>(minutes);
    switch (s.csvDurationFormat) {
        case 3:
            return getStringRepresentationOfMinutes_hoursMinutes(m);
        case 2:
            return getStringRepresentationOfMinutes_hm(m);
        case 1:
            return getStringRepresentationOfMinutes_hmm(m);
        default:
            return getStringRepresentationOfMinutes_hhmm(m);
    }
}

std::string CsvExport::dateText(double instant, const std::string& zoneName) {
    Formatters::Zone& zone = formatters_->byZone[zoneName];
    if (!zone.calendar)
        zone.calendar = ZRCalendar::defaultGregorian(zoneName);
    const std::int64_t day = zone.calendar->localTime(instant).days;
    if (auto it = zone.days.find(day); it != zone.days.end())
        return it->second;
    if (!zone.format) {
        const int style = settings_.csvDateFormat;
        const auto icuStyle = style == 1   ? icu::DateFormat::kMedium
                              : style == 2 ? icu::DateFormat::kLong
                              : style == 3 ? icu::DateFormat::kFull
                                           : icu::DateFormat::kShort;
        zone.format.reset(icu::DateFormat::createDateInstance(
            icuStyle, icu::Locale(calendar_.localeId().c_str())));
        if (!zone.format)
            return {};
        zone.format->adoptTimeZone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneName)));
    }
    icu::UnicodeString text;
    zone.format->format((instant + kSecondsFromUnixEpochToReferenceDate) * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    zone.days.emplace(day, out);
    return out;
}

std::string CsvExport::timeText(double instant, const std::string& zoneName) {
    Formatters::Zone& zone = formatters_->byZone[zoneName];
    if (!zone.calendar)
        zone.calendar = ZRCalendar::defaultGregorian(zoneName);
    const int second = zone.calendar->localTime(instant).secondOfDay;
    char text[16];
    if (settings_.csvShowSeconds)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", second / 3600, second / 60 % 60,
                      second % 60);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", second / 3600, second / 60 % 60);
    return text;
}

std::vector<std::string> CsvExport::row(const CsvExportEntry& entry, bool preview) {
    const CsvExportSettings& s = settings_;
    const ZRCDTask* task = taskOf(entry);
    std::vector<std::string> cells;
    const std::vector<std::string> names =
        task ? task->taskNameArray() : std::vector<std::string>{};
    if (s.csvSplitTask) {
        for (std::size_t i = 0; i < 3; ++i)
            cells.push_back(i < names.size() ? names[i] : std::string());
    } else {
        std::string joined;
        for (const std::string& name : names)
            joined += (joined.empty() ? "" : " > ") + name;
        cells.push_back(joined);
    }
    const auto* timing = std::get_if<const ZRCDTiming*>(&entry);
    std::string zone = calendar_.timeZoneName();
    double start = 0, end = 0;
    if (timing) {
        if ((*timing)->timezone())
            zone = *(*timing)->timezone();
        start = (*timing)->startDate().value_or(0);
        end = (*timing)->endDate().value_or(0);
        if (hasRoundedTimings_ && s.csvRoundedEndTimes)
            end = timing_totals::endDateWithRounding(**timing).value_or(end);
    } else {
        start = end = noonOfDayFromZRDate(std::get<const ZRCDTimingSet*>(entry)->absDay());
    }
    if (s.csvStartDates)
        cells.push_back(timing ? dateText(start, zone) : dateText(start, calendar_.timeZoneName()));
    if (s.csvStartTimes)
        cells.push_back(timing ? timeText(start, zone) : "-");
    if (s.csvEndDates)
        cells.push_back(timing ? dateText(end, zone) : dateText(end, calendar_.timeZoneName()));
    if (s.csvEndTimes)
        cells.push_back(timing ? timeText(end, zone) : "-");
    if (s.csvDurations)
        cells.push_back(durationText(durationOf(entry)));
    const std::string description = task ? task->taskDescription().value_or("") : "";
    if (s.csvNotes) {
        if (preview) {
            cells.emplace_back(s.csvTaskDescInNotes ? "[note | task description]" : "[note]");
        } else {
            const std::string note = timing ? (*timing)->note().value_or("") : "";
            cells.push_back(!note.empty() ? note : s.csvTaskDescInNotes ? description : "");
        }
    }
    if (s.csvTaskDescriptions)
        cells.push_back(preview ? "[task description]" : description);
    return cells;
}

Result<std::string> CsvExport::write(const std::vector<CsvExportEntry>& entries, bool preview) {
    std::string out;
    auto writer = CHCSVWriter::initWithOutput(out, exportEncodingName(settings_.csvEncoding),
                                              settings_.delimiterCharacter());
    if (!writer.ok())
        return writer.error();
    const std::vector<std::string> titles = headerTitles();
    if (settings_.csvColumnTitles)
        writer->writeLineOfFields(titles);
    if (!preview)
        writer->writeLineOfFields({std::string()});
    if (preview) {
        std::vector<const CsvExportEntry*> shown;
        auto it = entries.rbegin();
        if (it != entries.rend())
            shown.push_back(&*it++);
        for (; it != entries.rend() && shown.size() < 2; ++it) {
            const ZRCDTask* task = taskOf(*it);
            if (!hasRoundedTimings_ || (task && task_totals::getProperRounding(*task) >= 101))
                shown.push_back(&*it);
        }
        for (const CsvExportEntry* entry : shown)
            writer->writeLineOfFields(row(*entry, true));
        writer->writeLineOfFields({"..."});
    } else {
        for (auto it = entries.rbegin(); it != entries.rend(); ++it)
            writer->writeLineOfFields(row(*it, false));
    }
    if (settings_.csvTotalTime) {
        if (!preview)
            writer->writeLineOfFields({std::string()});
        std::vector<std::string> cells;
        if (settings_.csvDurations) {
            std::size_t before = 0;
            while (before < titles.size() && titles[before].find("Duration") == std::string::npos)
                ++before;
            cells.resize(before > 0 ? before - 1 : 0);
        }
        cells.emplace_back(settings_.csvDurationFormat == 0 ? "Total Time in Hours:"
                                                            : "Total Time:");
        cells.push_back(totalText(entries));
        writer->writeLineOfFields(cells);
    }
    if (writer->error())
        return *writer->error();
    return out;
}

Result<std::string> CsvExport::fileBytes(const std::vector<CsvExportEntry>& entries) {
    return write(entries, false);
}

Result<std::vector<std::vector<std::string>>> CsvExport::previewRows(
    const std::vector<CsvExportEntry>& entries) {
    auto bytes = write(entries, true);
    if (!bytes.ok())
        return bytes.error();
    auto decoder = CsvTextDecoder::open(exportEncodingName(settings_.csvEncoding));
    if (!decoder.ok())
        return decoder.error();
    std::string text;
    std::size_t mark = 0;
    sniffEncoding(bytes.value(), &mark);
    if (Status status = decoder->decode(bytes.value(), true, text); !status.ok())
        return status.error();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    auto rows = componentsSeparatedByDelimiter(text, settings_.delimiterCharacter());
    if (!rows)
        return Error{kCsvErrorDomain, 0, "The preview could not be read back.", {}};
    return *rows;
}

Status CsvExport::writeFile(const std::filesystem::path& path,
                            const std::vector<CsvExportEntry>& entries) {
    auto bytes = fileBytes(entries);
    if (!bytes.ok())
        return bytes.error();
    return writeFileAtomically(path, bytes.value());
}

bool entriesHaveRounding(const std::vector<CsvExportEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const CsvExportEntry& entry) {
        const ZRCDTask* task = taskOf(entry);
        return task && task_totals::getProperRounding(*task) >= 101;
    });
}

std::vector<CsvExportEntry> timingsForSelection(ZRYearMonthDay firstDay, ZRYearMonthDay lastDay,
                                                const std::vector<ZRCDTask*>& tasks,
                                                const ManagedObjectContext& context) {
    std::unordered_set<const ZRCDTask*> considered;
    for (ZRCDTask* task : tasks) {
        considered.insert(task);
        for (ZRCDTask* child : task->childTasks()) {
            considered.insert(child);
            for (ZRCDTask* grandchild : child->childTasks())
                considered.insert(grandchild);
        }
    }
    const ZRDate first = zrDateFromZRYearMonthDay(firstDay);
    const ZRDate last = zrDateFromZRYearMonthDay(lastDay);
    std::vector<const ZRCDTiming*> chosen;
    for (ZRCDTiming* timing : ZRCDTiming::getAllTimings_inContext(context)) {
        if (timing->running() || !timing->startDate() || !timing->task())
            continue;
        if (!considered.empty() && !considered.contains(timing->task()))
            continue;
        const ZRDate day = timing->absDay();
        if (day < first || day > last)
            continue;
        chosen.push_back(timing);
    }
    std::sort(chosen.begin(), chosen.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
        return *a->startDate() > *b->startDate();
    });
    return {chosen.begin(), chosen.end()};
}

}  // namespace ravelong::csv
