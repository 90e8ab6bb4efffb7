#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/CommandLine.h"
#include "cli/TaskReference.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
#include "scripting/StoreReader.h"
#include "scripting/TimeReport.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli report [PERIOD | FROM TO] [--format text|csv|json] [--archived]\n"
    "Time per task and subtask over a period, as Ravelong counts it: subtasks sum into their\n"
    "parent, rounding applies when a task rounds, and days begin at the cut-off hour of the\n"
    "preferences. PERIOD is day (the default), week, month, year or all; FROM and TO are days\n"
    "YYYY-MM-DD (both included). --archived includes archived tasks and subtasks.\n"
    "Reads the store without changing it, also while Ravelong runs.\n"
    "Exit status: 0, 1 the store could not be read, 2 wrong arguments.\n";

// The thorough way: the whole store loaded read-only, for stores the direct reading leaves to
// it (another model version, rounding tasks).
int fromObjectGraph(CliInvocation& invocation, const PeriodOptions& options) {
    auto store = PersistentStore::open(DataLocations::standard().storeURL(), ravelongModel(),
                                       StoreOptions{.readOnly = true});
    if (!store) {
        printError(invocation.err, store.error());
        return kExitFailure;
    }
    auto context = ManagedObjectContext::openMainContext(store.value());
    if (!context) {
        printError(invocation.err, context.error());
        return kExitFailure;
    }
    const ZRCDPreferences* preferences =
        ZRCDPreferences::getPreferences_inContext(*context.value());
    const auto days =
        periodDays(invocation, kUsage, options.words, preferences ? preferences->newDay() : 0);
    if (!days)
        return kExitUsage;
    time_report::write(invocation.out,
                       time_report::build(*context.value(), *days, options.archived), *days,
                       options.format);
    return kExitSuccess;
}

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    const auto options = parsePeriodOptions(invocation, kUsage, {});
    if (!options)
        return kExitUsage;
    auto reader = StoreReader::open(DataLocations::standard().storeURL());
    if (!reader)
        return fromObjectGraph(invocation, *options);
    auto cutoff = reader->newDayHour();
    if (!cutoff) {
        printError(invocation.err, cutoff.error());
        return kExitFailure;
    }
    const auto days = periodDays(invocation, kUsage, options->words, cutoff.value());
    if (!days)
        return kExitUsage;
    auto rows = time_report::buildFromStore(*reader, *days, options->archived);
    if (!rows) {
        printError(invocation.err, rows.error());
        return kExitFailure;
    }
    if (!rows.value())
        return fromObjectGraph(invocation, *options);
    time_report::write(invocation.out, *rows.value(), *days, options->format);
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"report", "[PERIOD|FROM TO] [--format F]", "Time per task over a period", run});

}  // namespace
}  // namespace ravelong::cli
