#include <filesystem>
#include <ostream>

#include "app/DataLocations.h"
#include "cli/CliCommand.h"
#include "cli/CliStore.h"
#include "cli/TaskReference.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDPreferences.h"
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

int usage(CliInvocation& invocation, const std::string& problem) {
    invocation.err << "ravelong-cli: " << problem << "\n" << kUsage;
    return kExitUsage;
}

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    std::vector<std::string> words;
    time_report::Format format = time_report::Format::text;
    bool archived = false;
    const auto& arguments = invocation.arguments;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--archived") {
            archived = true;
        } else if (arguments[i] == "--format") {
            if (i + 1 >= arguments.size())
                return usage(invocation, "--format needs text, csv or json.");
            const auto chosen = time_report::formatFromText(arguments[++i]);
            if (!chosen)
                return usage(invocation, "unknown format \"" + arguments[i] + "\".");
            format = *chosen;
        } else if (arguments[i].starts_with("-")) {
            return usage(invocation, "unknown option \"" + arguments[i] + "\".");
        } else {
            words.push_back(arguments[i]);
        }
    }
    if (words.size() > 2)
        return usage(invocation, "too many arguments.");

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
    const int cutoff = preferences ? preferences->newDay() : 0;

    std::optional<ZRDateRange> days;
    if (words.size() == 2) {
        const auto first = time_report::dayFromText(words[0]);
        const auto last = time_report::dayFromText(words[1]);
        if (!first || !last)
            return usage(invocation, "FROM and TO must be days such as 2024-03-12.");
        if (*last < *first)
            return usage(invocation, "TO lies before FROM.");
        days = ZRDateRange{*first, *last};
    } else {
        days = time_report::namedPeriod(words.empty() ? "day" : words[0], cutoff);
        if (!days)
            return usage(invocation, "unknown period \"" + words[0] + "\".");
    }
    time_report::write(invocation.out, time_report::build(*context.value(), *days, archived), *days,
                       format);
    return kExitSuccess;
}

const bool registered = registerCommand(
    {"report", "[PERIOD|FROM TO] [--format F]", "Time per task over a period", run});

}  // namespace
}  // namespace ravelong::cli
