// ravelong-cli import-csv FILE [--preset NAME | --mapping FILE] [--show-mapping] [--dry-run]
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "core/calendar/ZRCalendar.h"
#include "exchange/csv/CsvImporter.h"
#include "exchange/csv/CsvPresets.h"
#include "exchange/csv/CsvTexts.h"
#include "foundation/Clock.h"

namespace ravelong::cli {
namespace {

struct Options {
    std::string file, preset, mappingFile;
    bool showMapping = false, dryRun = false;
};

bool parse(const std::vector<std::string>& args, Options& options, std::ostream& err) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "--preset" || a == "--mapping") && i + 1 < args.size())
            (a == "--preset" ? options.preset : options.mappingFile) = args[++i];
        else if (a == "--show-mapping")
            options.showMapping = true;
        else if (a == "--dry-run")
            options.dryRun = true;
        else if (!a.starts_with("--") && options.file.empty())
            options.file = a;
        else {
            err << "ravelong-cli import-csv: unexpected argument \"" << a << "\"\n";
            return false;
        }
    }
    if (options.file.empty() || (!options.preset.empty() && !options.mappingFile.empty())) {
        err << "usage: ravelong-cli import-csv FILE [--preset NAME | --mapping FILE] "
               "[--show-mapping] [--dry-run]\n";
        return false;
    }
    return true;
}

void printValidation(const csv::CsvValidation& v, std::ostream& out) {
    out << v.numberOfGoodRows << " rows can be imported, " << v.numberOfSkippedRows
        << " rows are skipped.\n";
    for (const csv::CsvCellFailure& f : v.failures)
        out << "  line " << f.line << ", column " << f.column << ": " << f.message << "\n";
    if (v.numberOfSkippedRows > v.skippedRows.size())
        out << "  (only the first " << v.skippedRows.size() << " skipped rows are listed)\n";
}

int run(CliInvocation& call) {
    Options options;
    if (!parse(call.arguments, options, call.err))
        return kExitUsage;
    const ZRCalendar calendar = ZRCalendar::zrCalendar();
    csv::CsvImportMapping mapping;
    if (options.mappingFile.empty()) {
        auto sample = csv::sampleFile(options.file);
        if (!sample.ok()) {
            printError(call.err, sample.error());
            return kExitFailure;
        }
        if (options.preset.empty()) {
            // Presets are offered, never applied unasked.
            const auto found = csv::detectPresets(sample->header);
            if (found.empty())
                call.err << "No preset matches the columns of " << options.file
                         << "; describe them with --mapping FILE.\n";
            for (const csv::CsvPresetInfo& info : found)
                call.err << options.file << " looks like a " << info.title
                         << ": import it with --preset " << info.name << "\n";
            call.err << "Nothing was imported.\n";
            return kExitUsage;
        }
        auto preset = csv::mappingFor(options.preset, sample.value(), calendar);
        if (!preset.ok()) {
            printError(call.err, preset.error());
            return kExitFailure;
        }
        mapping = preset->mapping;
        if (!preset->unmappedColumns.empty()) {
            call.out << "Columns not imported:";
            for (const std::string& column : preset->unmappedColumns)
                call.out << " \"" << column << "\"";
            call.out << "\n";
        }
        for (const std::string& note : preset->notes)
            call.err << note << "\n";
        if (!preset->notes.empty() && !options.showMapping) {
            call.err << "Save the mapping with --show-mapping, complete it and import with "
                        "--mapping FILE.\n";
            return kExitFailure;
        }
    } else {
        std::ifstream in(options.mappingFile, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!in) {
            call.err << "ravelong-cli: the mapping file \"" << options.mappingFile
                     << "\" cannot be read.\n";
            return kExitFailure;
        }
        auto read = csv::mappingFromJson(text.str());
        if (!read.ok()) {
            printError(call.err, read.error());
            return kExitFailure;
        }
        mapping = read.value();
    }
    if (options.showMapping) {
        call.out << csv::mappingToJson(mapping) << "\n";
        return kExitSuccess;
    }
    auto store = CliStore::open();
    if (!store.ok()) {
        printError(call.err, store.error());
        return kExitFailure;
    }
    csv::CsvImporter importer(store->stack(), Clock::current(), calendar);
    if (options.dryRun) {
        auto validation = importer.validate(options.file, mapping);
        if (!validation.ok()) {
            printError(call.err, validation.error());
            return kExitFailure;
        }
        printValidation(validation.value(), call.out);
        if (!validation->validates) {
            call.err << "ravelong-cli: " << csv::kCSVDoesNotMatch << " "
                     << csv::describeValidationFailure(validation.value()) << "\n";
            return kExitFailure;
        }
        return kExitSuccess;
    }
    auto outcome = importer.importFile(options.file, mapping);
    if (!outcome.ok()) {
        printError(call.err, outcome.error());
        return kExitFailure;
    }
    const csv::CsvImportCounts& c = outcome->counts;
    printValidation(outcome->validation, call.out);
    call.out << csv::kCSVDataImported << "\n"
             << c.numberOfTasksCreated << " tasks created\n"
             << c.numberOfTimingsImported << " timings imported\n";
    if (c.numberOfRowsSkippedAsDuplicates > 0)
        call.out << c.numberOfRowsSkippedAsDuplicates
                 << " rows skipped: their timings were imported before\n";
    if (c.numberOfRowsRefused > 0)
        call.out << c.numberOfRowsRefused << " rows refused: longer than a timing may be\n";
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"import-csv", "FILE [--preset NAME | --mapping FILE] [--show-mapping] [--dry-run]",
     "Import timings from a CSV file (presets: toggl, clockify, watson, hamster, kimai)", run});

}  // namespace
}  // namespace ravelong::cli
