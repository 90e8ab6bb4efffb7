// ravelong-cli export-csv --from DATE --to DATE [--tasks NAME,...] [--columns COL,...] OUT
#include <filesystem>
#include <iostream>
#include <sstream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "core/calendar/CivilDays.h"
#include "core/calendar/ZRCalendar.h"
#include "core/model/ZRCDExportPreferences.h"
#include "core/model/ZRCDTask.h"
#include "exchange/csv/CsvExport.h"
#include "exchange/csv/CsvExportFileName.h"
#include "foundation/UserDefaults.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "usage: ravelong-cli export-csv --from YYYY-MM-DD --to YYYY-MM-DD [--tasks NAME,...] "
    "[--columns COLUMN,...] OUT\n"
    "  OUT is the file, or a folder for a file named after the range.\n"
    "  NAME is a task's name or its path (\"Client > Project\"); subtasks come along.\n"
    "  COLUMNS: start-date, start-time, end-date, end-time, duration, notes, description,\n"
    "  split-task, titles, total. Without --columns the saved export settings are used;\n"
    "  with it, the given columns are used and saved as the new export settings.\n";

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ',');)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::optional<ZRYearMonthDay> parseDay(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 ||
        d < 1 || y < 1 || d > civil::daysInMonth(y, m))
        return std::nullopt;
    return y * 10000 + m * 100 + d;
}

std::string pathOf(const ZRCDTask& task) {
    std::string path;
    for (const std::string& name : task.taskNameArray())
        path += (path.empty() ? "" : " > ") + name;
    return path;
}

int run(CliInvocation& call) {
    std::string from, to, tasksText, columnsText, out;
    bool columnsGiven = false;
    const auto& args = call.arguments;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--from" || a == "--to" || a == "--tasks" || a == "--columns";
        if (valued && i + 1 < args.size()) {
            std::string& slot = a == "--from"    ? from
                                : a == "--to"    ? to
                                : a == "--tasks" ? tasksText
                                                 : columnsText;
            slot = args[++i];
            columnsGiven = columnsGiven || a == "--columns";
        } else if (!a.starts_with("--") && out.empty()) {
            out = a;
        } else {
            call.err << "ravelong-cli export-csv: unexpected argument \"" << a << "\"\n" << kUsage;
            return kExitUsage;
        }
    }
    const auto first = parseDay(from), last = parseDay(to);
    if (!first || !last || out.empty() || *first > *last) {
        call.err << kUsage;
        return kExitUsage;
    }
    auto store = CliStore::open();
    if (!store.ok()) {
        printError(call.err, store.error());
        return kExitFailure;
    }
    ManagedObjectContext& context = store->context();
    std::vector<ZRCDTask*> tasks;
    for (const std::string& wanted : split(tasksText)) {
        ZRCDTask* found = nullptr;
        for (ZRCDTask* task : ZRCDTask::getAllTasks_inContext(context))
            if (pathOf(*task) == wanted ||
                (task->taskName() && *task->taskName() == wanted && !found))
                found = task;
        if (!found) {
            call.err << "ravelong-cli: there is no task \"" << wanted << "\".\n";
            return kExitFailure;
        }
        tasks.push_back(found);
    }
    ZRCDExportPreferences* preferences = ZRCDExportPreferences::getPreferences_inContext(context);
    csv::CsvExportSettings settings = csv::CsvExportSettings::fromPreferences(*preferences);
    if (columnsGiven) {
        settings.csvStartDates = settings.csvStartTimes = settings.csvEndDates =
            settings.csvEndTimes = settings.csvDurations = settings.csvNotes =
                settings.csvTaskDescriptions = settings.csvSplitTask = settings.csvColumnTitles =
                    settings.csvTotalTime = false;
        for (const std::string& column : split(columnsText)) {
            bool* flag = column == "start-date"    ? &settings.csvStartDates
                         : column == "start-time"  ? &settings.csvStartTimes
                         : column == "end-date"    ? &settings.csvEndDates
                         : column == "end-time"    ? &settings.csvEndTimes
                         : column == "duration"    ? &settings.csvDurations
                         : column == "notes"       ? &settings.csvNotes
                         : column == "description" ? &settings.csvTaskDescriptions
                         : column == "split-task"  ? &settings.csvSplitTask
                         : column == "titles"      ? &settings.csvColumnTitles
                         : column == "total"       ? &settings.csvTotalTime
                                                   : nullptr;
            if (!flag) {
                call.err << "ravelong-cli export-csv: unknown column \"" << column << "\"\n"
                         << kUsage;
                return kExitUsage;
            }
            *flag = true;
        }
        // The next export, here or in the window, starts from these choices.
        settings.storeIn(*preferences);
    }
    const auto entries = csv::timingsForSelection(*first, *last, tasks, context);
    const bool afterCompact =
        UserDefaults::standard().boolForKey("ZRTimingsRoundDurationsAfterCompact");
    csv::CsvExport exporter(settings, csv::entriesHaveRounding(entries), afterCompact,
                            ZRCalendar::zrCalendar());
    // Into a folder, the file gets the name the export sheet would propose.
    std::filesystem::path file = out;
    if (std::filesystem::is_directory(file))
        file /= csv::getFileNameString(*first, *last, ZRCalendar::zrCalendar()) + "." +
                settings.fileExtension();
    if (Status written = exporter.writeFile(file, entries); !written.ok()) {
        printError(call.err, written.error());
        return kExitFailure;
    }
    if (columnsGiven) {
        if (Status saved = store->save(); !saved.ok())
            printError(call.err, saved.error());
    }
    call.out << "Exported " << entries.size() << (entries.size() == 1 ? " timing" : " timings")
             << " to " << file.string() << "\n";
    return kExitSuccess;
}

const bool registered =
    registerCommand({"export-csv", "--from DATE --to DATE [--tasks ...] [--columns ...] OUT",
                     "Export the timings of a date range to a CSV file", run});

}  // namespace
}  // namespace ravelong::cli
