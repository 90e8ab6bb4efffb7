// Figures of the CSV exchange on a heavy user's store: the export of every timing, the reader
// over a 100 MB file against a plain splitter over the same mapping, and the validation and
// import of 200,000 rows with the memory it takes beyond the loaded store.
//
// For profiling the import alone: RAVELONG_CSV_BENCH_IMPORT_ONLY=1 skips the export and the
// reader, and RAVELONG_CSV_BENCH_ROWS=N imports N rows (the store keeps the profile's size).
// Figures are quoted at the defaults.
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/calendar/ScopedUserCalendar.h"
#include "core/model/ZRCDTiming.h"
#include "exchange/CHCSVParser.h"
#include "exchange/csv/CsvExport.h"
#include "exchange/csv/CsvImporter.h"
#include "exchange/csv/CsvMappedFile.h"
#include "foundation/Clock.h"

namespace ravelong::bench {
namespace {

// Peak resident memory since the last reset (VmHWM), in megabytes.
double peakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// A positive whole number from the environment, or `fallback`.
int positiveFromEnvironment(const char* name, int fallback) {
    const char* text = std::getenv(name);
    if (!text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 && value <= 10'000'000 ? static_cast<int>(value)
                                                                           : fallback;
}

// 1,000,000 rows of about 100 bytes: quoted notes with commas and doubled quotes in some.
std::filesystem::path readerFile(const std::filesystem::path& folder) {
    const auto path = folder / "reader-100mb.csv";
    if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 90'000'000)
        return path;
    std::ofstream out(path, std::ios::binary);
    std::string row;
    for (int i = 0; i < 1'000'000; ++i) {
        row = "Client " + std::to_string(i % 97) + ",Project " + std::to_string(i % 13) +
              ",2024-05-01 09:00:00,2024-05-01 10:30:00,";
        row += (i % 5 == 0) ? "\"Meeting, \"\"weekly\"\" review of the plan\"" : "Plain note text";
        row += ",tag-" + std::to_string(i % 7) + ",1.50,billable\n";
        out << row;
    }
    return path;
}

// The baseline: every field's bounds over the same mapping, with no quoting rules at all.
std::size_t plainSplit(std::string_view bytes) {
    std::size_t fields = 0, length = 0;
    for (char c : bytes) {
        if (c == ',' || c == '\n') {
            ++fields;
            length = 0;
        } else {
            ++length;
        }
    }
    return fields + (length > 0);
}

std::filesystem::path importFile(const std::filesystem::path& folder, int rows) {
    const auto path = folder / "import-200k.csv";
    std::ofstream out(path, std::ios::binary);
    out << "Task,Subtask,Start,End,Notes\n";
    // Rows of 20 minutes (200,000 at the default profile), twenty a day from 1995 on, for 50 tasks
    // with 7 subtasks each.
    for (int i = 0; i < rows; ++i) {
        const int day = i / 20, slot = i % 20;
        const int y = 1995 + day / 336, m = 1 + day / 28 % 12, d = 1 + day % 28;
        char line[200];
        std::snprintf(line, sizeof line,
                      "Imported %d,Part %d,%04d-%02d-%02d %02d:%02d,%04d-%02d-%02d %02d:%02d,"
                      "note %d\n",
                      i % 50, i % 7, y, m, d, 6 + slot * 30 / 60, slot * 30 % 60, y, m, d,
                      6 + (slot * 30 + 20) / 60, (slot * 30 + 20) % 60, i);
        out << line;
    }
    return path;
}

int runCsvSuite() {
    ScopedUserCalendar calendar("Europe/Berlin", "en_US");
    const HeavyUserProfile profile = heavyUserProfileFromEnvironment();
    auto source = heavyUserStoreFileMadeInChildProcess(profile);
    if (!source.ok()) {
        std::cerr << "csv: " << source.error().description << "\n";
        return 1;
    }
    const auto folder = benchDataDirectory() / "csv-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const DataLocations locations = DataLocations::inDataFolder(folder / "data");
    std::filesystem::create_directories(locations.storeURL().parent_path());
    std::filesystem::copy_file(source.value(), locations.storeURL());
    auto stack = std::make_unique<StoreStack>(locations);
    auto main = stack->managedObjectContext();
    if (!main.ok()) {
        std::cerr << "csv: " << main.error().description << "\n";
        return 1;
    }
    ManagedObjectContext& context = *main.value();

    if (positiveFromEnvironment("RAVELONG_CSV_BENCH_IMPORT_ONLY", 0) == 0) {
        // export_200k_s: every timing, newest first as the list shows them, to a file.
        std::size_t exported = 0;
        const double exportSeconds = secondsFor([&] {
            const auto entries = csv::timingsForSelection(19700101, 99991231, {}, context);
            csv::CsvExport exporter(csv::CsvExportSettings{}, csv::entriesHaveRounding(entries),
                                    false, ZRCalendar::zrCalendar());
            exported = entries.size();
            (void)exporter.writeFile(folder / "export.csv", entries);
        });
        std::cout << "exported " << exported << " timings, "
                  << std::filesystem::file_size(folder / "export.csv") / 1e6 << " MB\n";
        printFigure("export_200k_s", exportSeconds, "s");

        // read_100mb_s, with the plain splitter over the same file in the same run.
        const auto big = readerFile(benchDataDirectory());
        if (!csv::CsvMappedFile::open(big).ok())
            return 1;
        // Both read the file from a mapping of their own, three times each, so that both pay
        // for bringing the file's pages in.
        std::size_t plainFields = 0;
        const auto plainRun = [&] {
            auto mapped = csv::CsvMappedFile::open(big);
            plainFields = mapped.ok() ? plainSplit(mapped->bytes()) : 0;
        };
        const double plainSeconds =
            median({secondsFor(plainRun), secondsFor(plainRun), secondsFor(plainRun)});
        std::size_t rows = 0, fields = 0;
        const auto readRun = [&] {
            auto parser = CHCSVParser::initWithContentsOfFile(big, "", ',');
            parser.value()->setSanitizesFields(true);
            std::vector<std::string> row;
            rows = fields = 0;
            while (parser.value()->readRecord(row)) {
                ++rows;
                fields += row.size();
            }
        };
        const double readSeconds =
            median({secondsFor(readRun), secondsFor(readRun), secondsFor(readRun)});
        std::cout << "read " << rows << " rows, " << fields << " fields; plain splitter "
                  << plainFields << " pieces in " << plainSeconds << " s (ratio "
                  << readSeconds / plainSeconds << ")\n";
        printFigure("read_100mb_s", readSeconds, "s");
        printFigure("read_100mb_plain_split_s", plainSeconds, "s");
    }
    // validate_import_200k_rows_s and import_peak_rss_mb.
    const int rowCount = positiveFromEnvironment("RAVELONG_CSV_BENCH_ROWS", profile.timings);
    const auto rowsFile = importFile(folder, rowCount);
    csv::CsvImportMapping mapping;
    mapping.tokens = {"Task (top level)", "Subtask (level 1)", "Start Date + Time",
                      "End Date + Time", "Notes"};
    mapping.datePattern = "y-M-d";
    mapping.timePattern = "HH:mm";
    mapping.headerRows = 1;
    const double before = residentMegabytes();
    resetPeakResident();
    csv::CsvImporter importer(*stack, Clock::current(), ZRCalendar::zrCalendar());
    std::uint64_t imported = 0;
    const BenchTiming importTiming = timingOf([&] {
        auto outcome = importer.importFile(rowsFile, mapping);
        if (!outcome.ok())
            std::cerr << "csv: " << outcome.error().description << " "
                      << outcome.error().failureReason << "\n";
        else
            imported = outcome->counts.numberOfTimingsImported;
    });
    const double peak = peakResidentMegabytes();
    std::cout << "imported " << imported << " timings; resident " << before << " MB before, peak "
              << peak << " MB\n";
    printFigure("validate_import_200k_rows_s", importTiming.wallSeconds, "s");
    printFigure("validate_import_200k_rows_cpu_s", importTiming.processorSeconds, "s");
    printFigure("import_peak_rss_mb", peak - before, "MB");
    stack.reset();
    std::filesystem::remove_all(folder);
    return imported == static_cast<std::uint64_t>(rowCount) ? 0 : 1;
}

}  // namespace

RAVELONG_BENCH_SUITE("csv", runCsvSuite);

}  // namespace ravelong::bench
