#include "app/DataDirectoryMove.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

#include "app/AppStrings.h"
#include "app/LaunchTexts.h"
#include "foundation/AtomicFile.h"
#include "foundation/Log.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOperation = "moveStoreToCurrentDirectory";
constexpr const char* kMoveJournalName = ".store-move-in-progress";

// Entry names of a folder; none for a folder that is missing or cannot be read.
std::vector<std::string> entryNames(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

// "Ravelong7.sqlite-wal" -> "RavelongDB.sqlite-wal".
std::string currentNameFor(const std::string& name) {
    std::string result;
    for (char c : name) {
        if (c < '0' || c > '9')
            result.push_back(c);
    }
    const std::size_t dot = result.find('.');
    result.insert(dot == std::string::npos ? result.size() : dot,
                  launch_texts::kStoreNameInsertion);
    return result;
}

std::string expectedStoreName(std::int64_t number) {
    if (number <= 0)
        return std::string(kLegacyStoreFileName);
    std::string name(launch_texts::kNumberedStoreName);
    name.replace(name.find("%ld"), 3, std::to_string(number));
    return name;
}

void reportProblem(const std::string& problem) {
    logError(kOperation, formatText(launch_texts::kProblemUpdating, {problem}));
}

}  // namespace

std::int64_t storeNumberOfEntryName(const std::string& name) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    std::int64_t number = 0;
    for (char c : fs::path(name).stem().string()) {
        if (c < '0' || c > '9')
            continue;
        const int digit = c - '0';
        if (number > (kLargest - digit) / 10)
            return kLargest;
        number = number * 10 + digit;
    }
    return number;
}

namespace {

struct PlannedMove {
    std::string from;  // entry name in the group folder
    std::string to;    // entry name in the current folder
};

// One move a line, "<from>\t<to>"; names holding a tab or a line break are never planned.
fs::path journalPath(const fs::path& current) {
    return current / kMoveJournalName;
}

Status writeJournal(const fs::path& current, const std::vector<PlannedMove>& plan) {
    std::string text;
    for (const PlannedMove& move : plan)
        text += move.from + "\t" + move.to + "\n";
    return writeFileAtomically(journalPath(current), text);
}

std::vector<PlannedMove> readJournal(const fs::path& path) {
    std::vector<PlannedMove> plan;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == line.size())
            continue;
        PlannedMove move{line.substr(0, tab), line.substr(tab + 1)};
        // Only plain names: a journal must not move files anywhere else.
        if (fs::path(move.from).filename() != move.from || fs::path(move.to).filename() != move.to)
            continue;
        plan.push_back(std::move(move));
    }
    return plan;
}

void removeJournal(const fs::path& current) {
    std::error_code error;
    fs::remove(journalPath(current), error);
    if (error)
        reportProblem(journalPath(current).string() + ": " + error.message());
}

void leaveMarker(const fs::path& group) {
    const fs::path marker = group / launch_texts::kMovedMarkerFileName;
    if (!std::ofstream(marker))
        reportProblem(marker.string() + ": cannot be created");
}

bool entryExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// Puts back every entry of `plan` that is in the current folder and missing from the group
// folder. True when nothing is left half-moved.
bool rollBack(const fs::path& group, const fs::path& current, const std::vector<PlannedMove>& plan,
              const EntryMover& moveEntry) {
    bool complete = true;
    for (const PlannedMove& move : plan) {
        if (!entryExists(current / move.to) || entryExists(group / move.from))
            continue;
        if (const std::error_code error = moveEntry(current / move.to, group / move.from)) {
            reportProblem(move.to + ": " + error.message());
            complete = false;
        }
    }
    return complete;
}

// Moves every entry of `plan` still in the group folder; all of them or, after a failure, none.
// Returns the new names of the moved entries, empty when nothing moved. The journal is gone
// afterwards unless a roll-back failed too (the next launch then tries again).
std::vector<std::string> runPlan(const fs::path& group, const fs::path& current,
                                 const std::vector<PlannedMove>& plan,
                                 const EntryMover& moveEntry) {
    for (const PlannedMove& move : plan) {
        if (entryExists(current / move.to) && !entryExists(group / move.from))
            continue;  // moved before the last launch ended
        const std::error_code error = entryExists(current / move.to)
                                          ? std::make_error_code(std::errc::file_exists)
                                          : moveEntry(group / move.from, current / move.to);
        if (error) {
            reportProblem(move.from + ": " + error.message());
            if (rollBack(group, current, plan, moveEntry))
                removeJournal(current);
            return {};
        }
    }
    leaveMarker(group);
    removeJournal(current);
    std::vector<std::string> moved;
    for (const PlannedMove& move : plan)
        moved.push_back(move.to);
    return moved;
}

std::vector<std::string> finishInterruptedMove(const fs::path& group, const fs::path& current,
                                               const EntryMover& moveEntry) {
    std::vector<std::string> moved;
    if (!entryExists(journalPath(current)))
        return moved;
    const std::vector<PlannedMove> plan = readJournal(journalPath(current));
    logInfo(kOperation, "finishing the move of the store that the last launch began");
    if (plan.empty()) {
        removeJournal(current);
        return moved;
    }
    return runPlan(group, current, plan, moveEntry);
}

}  // namespace

std::error_code renameEntry(const fs::path& from, const fs::path& to) {
    std::error_code error;
    fs::rename(from, to, error);
    return error;
}

std::vector<std::string> moveStoreToCurrentDirectory(const DataLocations& locations,
                                                     const EntryMover& moveEntry) {
    const fs::path current = locations.groupApplicationFilesDirectory();
    const fs::path group = locations.oldGroupApplicationFilesDirectory();
    std::vector<std::string> moved = finishInterruptedMove(group, current, moveEntry);
    if (!moved.empty())
        return moved;
    for (const std::string& name : entryNames(current)) {
        if (name.find(launch_texts::kCurrentStoreNamePart) != std::string::npos)
            return moved;
    }

    std::error_code error;
    fs::create_directories(current, error);
    if (error) {
        reportProblem(current.string() + ": " + error.message());
        return moved;
    }

    const std::vector<std::string> names = entryNames(group);
    std::int64_t largest = 0;
    for (const std::string& name : names)
        largest = std::max(largest, storeNumberOfEntryName(name));
    const std::string storeName = expectedStoreName(largest);

    std::vector<PlannedMove> plan;
    for (const std::string& name : names) {
        if (name.find(storeName) == std::string::npos)
            continue;
        const std::string target = currentNameFor(name);
        const bool planned = std::any_of(
            plan.begin(), plan.end(), [&](const PlannedMove& move) { return move.to == target; });
        // rename() would replace a file already there, and with it a store.
        if (planned || fs::exists(current / target, error) || error) {
            reportProblem(name + ": " + (current / target).string() + " already exists");
            continue;
        }
        if (name.find_first_of("\t\n") != std::string::npos) {
            reportProblem(name + ": the name cannot be recorded for the move");
            continue;
        }
        plan.push_back({name, target});
    }
    if (plan.empty())
        return moved;
    if (const Status journal = writeJournal(current, plan); !journal) {
        reportProblem(journalPath(current).string() + ": " + journal.error().failureReason);
        return moved;
    }
    return runPlan(group, current, plan, moveEntry);
}

}  // namespace ravelong
