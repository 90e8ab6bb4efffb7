#include "app/DataDirectoryMove.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

#include "app/AppStrings.h"
#include "app/LaunchTexts.h"
#include "foundation/Log.h"

namespace ravelong {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOperation = "moveStoreToCurrentDirectory";

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

std::vector<std::string> moveStoreToCurrentDirectory(const DataLocations& locations) {
    std::vector<std::string> moved;
    const fs::path current = locations.groupApplicationFilesDirectory();
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

    const fs::path group = locations.oldGroupApplicationFilesDirectory();
    const std::vector<std::string> names = entryNames(group);
    std::int64_t largest = 0;
    for (const std::string& name : names)
        largest = std::max(largest, storeNumberOfEntryName(name));
    const std::string storeName = expectedStoreName(largest);

    for (const std::string& name : names) {
        if (name.find(storeName) == std::string::npos)
            continue;
        const fs::path target = current / currentNameFor(name);
        // rename() would replace a file already there, and with it a store.
        if (fs::exists(target, error) || error) {
            reportProblem(name + ": " + target.string() + " already exists");
            continue;
        }
        fs::rename(group / name, target, error);
        if (error) {
            reportProblem(name + ": " + error.message());
            continue;
        }
        if (moved.empty()) {
            const fs::path marker = group / launch_texts::kMovedMarkerFileName;
            if (!std::ofstream(marker))
                reportProblem(marker.string() + ": cannot be created");
        }
        moved.push_back(target.filename().string());
    }
    return moved;
}

}  // namespace ravelong
