#include "cli/TimingSelection.h"

#include <unordered_map>
#include <unordered_set>

#include "app/DataLocations.h"
#include "cli/CliStore.h"
#include "cli/TaskReference.h"

namespace ravelong::cli {

std::string joinedPath(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& name : path)
        text += (text.empty() ? "" : " / ") + name;
    return text;
}

Result<const StoreReader::Task*> findTask(const std::vector<StoreReader::Task>& tasks,
                                          const std::string& reference) {
    for (const StoreReader::Task& task : tasks) {
        if (!task.uuid.empty() && task.uuid == reference)
            return &task;
    }
    std::vector<const StoreReader::Task*> named;
    for (const StoreReader::Task& task : tasks) {
        if (!task.archived && task.name == reference)
            named.push_back(&task);
    }
    if (named.size() == 1)
        return named.front();
    if (named.empty())
        return Error{"ravelong-cli", 2, "No task is named \"" + reference + "\".", ""};
    std::string ids;
    for (const StoreReader::Task* task : named)
        ids += " " + task->uuid;
    return Error{"ravelong-cli", 2,
                 "Several tasks are named \"" + reference + "\"; name one by its uuid:", ids};
}

std::optional<std::vector<SelectedTiming>> selectTimings(StoreReader& reader,
                                                         const PeriodOptions& options, Instant from,
                                                         Instant to, CliInvocation& invocation,
                                                         int& status) {
    auto tasks = reader.tasksInTreeOrder();
    auto timings = tasks ? reader.timingsBetween(from, to)
                         : Result<std::vector<StoreReader::Timing>>(tasks.error());
    if (!tasks || !timings) {
        printError(invocation.err, !tasks ? tasks.error() : timings.error());
        status = kExitFailure;
        return std::nullopt;
    }
    std::unordered_map<std::int64_t, const StoreReader::Task*> byPk;
    for (const StoreReader::Task& task : tasks.value())
        byPk[task.pk] = &task;
    // With --task: the task and its descendants (three tiers: children and grandchildren).
    std::unordered_set<std::int64_t> wanted;
    if (options.task) {
        auto named = findTask(tasks.value(), *options.task);
        if (!named) {
            printError(invocation.err, named.error());
            status = kExitFailure;
            return std::nullopt;
        }
        wanted.insert(named.value()->pk);
        for (int tier = 0; tier < 2; ++tier) {
            for (const StoreReader::Task& task : tasks.value()) {
                if (wanted.count(task.parent))
                    wanted.insert(task.pk);
            }
        }
    }
    std::vector<SelectedTiming> selected;
    for (StoreReader::Timing& timing : timings.value()) {
        const auto task = byPk.find(timing.task);
        const StoreReader::Task* owner = task == byPk.end() ? nullptr : task->second;
        if (options.task && !wanted.count(timing.task))
            continue;
        if (owner && owner->archived && !options.archived)
            continue;
        selected.push_back({std::move(timing), owner ? owner->path : std::vector<std::string>{}});
    }
    return selected;
}

std::optional<PeriodTimings> selectTimingsOfPeriod(const PeriodOptions& options, const char* usage,
                                                   CliInvocation& invocation, int& status) {
    status = kExitFailure;
    const std::filesystem::path file = DataLocations::standard().storeURL();
    auto reader = StoreReader::open(file);
    if (!reader) {
        printError(invocation.err, Error{"ravelong-cli", 1,
                                         "The store cannot be read yet: start Ravelong once to "
                                         "create or update it.",
                                         file.string()});
        return std::nullopt;
    }
    auto cutoff = reader->newDayHour();
    if (!cutoff) {
        printError(invocation.err, cutoff.error());
        return std::nullopt;
    }
    const auto days = periodDays(invocation, usage, options.words, cutoff.value());
    if (!days) {
        status = kExitUsage;
        return std::nullopt;
    }
    const auto [from, to] = instantsOfDays(*days, cutoff.value());
    auto timings = selectTimings(*reader, options, from, to, invocation, status);
    if (!timings)
        return std::nullopt;
    status = kExitSuccess;
    return PeriodTimings{*days, cutoff.value(), std::move(*timings)};
}

int runOnPeriodTimings(
    CliInvocation& invocation, const char* usage, AcceptedOptions accepted,
    const std::function<void(const PeriodOptions&, const PeriodTimings&)>& write) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << usage;
        return kExitSuccess;
    }
    const auto options = parsePeriodOptions(invocation, usage, accepted);
    if (!options)
        return kExitUsage;
    int status = kExitSuccess;
    const auto selection = selectTimingsOfPeriod(*options, usage, invocation, status);
    if (!selection)
        return status;
    write(*options, *selection);
    return kExitSuccess;
}

}  // namespace ravelong::cli
