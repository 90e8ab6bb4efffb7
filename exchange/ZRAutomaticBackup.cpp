#include "exchange/ZRAutomaticBackup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <vector>

#include "app/ZRUserDefaults.h"
#include "app/ZRUserDefaults2.h"
#include "core/calendar/DateComponents.h"
#include "exchange/BackupTexts.h"
#include "exchange/BackupWriter.h"
#include "foundation/Log.h"

namespace ravelong {

namespace texts = backup_texts;

namespace {

const std::regex& backupPattern() {
    static const std::regex pattern{std::string(texts::kBackupNamePattern)};
    return pattern;
}

std::string dateText(Instant now) {
    const YearMonthDay day = date_additions::cc_componentsForMonthDayAndYear(now);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%ld-%02ld-%02ld", static_cast<long>(day.year),
                  static_cast<long>(day.month), static_cast<long>(day.day));
    return buffer;
}

// The number between the first "(" and the first ")" of a backup's name: its creation time.
long long creationNumber(const std::string& name) {
    const std::size_t open = name.find('(');
    const std::size_t close = name.find(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return 0;
    return std::atoll(name.substr(open + 1, close - open - 1).c_str());
}

std::vector<std::string> backupsIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (ZRAutomaticBackup::isBackupFileName(name))
            names.push_back(name);
    }
    return names;
}

}  // namespace

ZRAutomaticBackup::ZRAutomaticBackup(std::function<ManagedObjectContext*()> context,
                                     const Clock& clock, DataLocations locations)
    : context_(std::move(context)), clock_(clock), locations_(std::move(locations)) {}

bool ZRAutomaticBackup::isBackupFileName(std::string_view name) {
    return std::regex_match(name.begin(), name.end(), backupPattern());
}

std::string ZRAutomaticBackup::backupFileName(Instant now) {
    std::string name(texts::kBackupFileName);
    name.replace(name.find("%@"), 2, dateText(now));
    const auto seconds = static_cast<long long>(std::trunc(unixTimeFromInstant(now)));
    name.replace(name.find("%ld"), 3, std::to_string(seconds));
    return name;
}

void ZRAutomaticBackup::backupForce(bool force) {
    auto written = backup(force);
    if (!written)
        logError("backupForce", written.error().description + " " + written.error().failureReason);
}

Result<std::optional<std::filesystem::path>> ZRAutomaticBackup::backup(bool force) {
    ManagedObjectContext* context = context_ ? context_() : nullptr;
    if (!context)
        return Error{kRavelongErrorDomain, texts::kBackupWriteCode, "There is no store to back up.",
                     std::string(texts::kCouldNotWrite)};
    return backupOf(*context, force);
}

Result<std::optional<std::filesystem::path>> ZRAutomaticBackup::backupOf(
    ManagedObjectContext& context, bool force) {
    auto folder = ZRUserDefaults::getAutoBackupLocation(locations_);
    if (!folder)
        return folder.error();
    const Instant now = clock_.now();
    const std::string today = dateText(now);
    std::vector<std::string> existing = backupsIn(*folder);
    if (!force && std::any_of(existing.begin(), existing.end(), [&](const std::string& name) {
            return name.find(today) != std::string::npos;
        }))
        return std::optional<std::filesystem::path>();

    const std::filesystem::path file = *folder / backupFileName(now);
    if (Status written = BackupWriter(context).writeTo(file); !written)
        return written.error();  // keep every older backup: this one did not take their place
    // A forced backup in the same second as the previous one replaced it: it is not a candidate.
    existing.erase(std::remove(existing.begin(), existing.end(), file.filename().string()),
                   existing.end());

    std::int64_t excess =
        static_cast<std::int64_t>(existing.size()) + 1 - ZRUserDefaults2::autoBackupCount();
    while (excess > 0 && !existing.empty()) {
        auto oldest = std::min_element(existing.begin(), existing.end(),
                                       [](const std::string& a, const std::string& b) {
                                           return creationNumber(a) < creationNumber(b);
                                       });
        std::error_code error;
        std::filesystem::remove(*folder / *oldest, error);
        existing.erase(oldest);
        --excess;
    }
    return std::optional<std::filesystem::path>(file);
}

std::optional<std::filesystem::path> ZRAutomaticBackup::newestBackup(
    const DataLocations& locations) {
    const std::filesystem::path folder = ZRUserDefaults::findAutoBackupLocation(locations);
    const std::vector<std::string> names = backupsIn(folder);
    if (names.empty())
        return std::nullopt;
    const auto newest = std::max_element(names.begin(), names.end(),
                                         [](const std::string& a, const std::string& b) {
                                             return creationNumber(a) < creationNumber(b);
                                         });
    return folder / *newest;
}

int ZRAutomaticBackup::moveRavelongBackupsFromFolder(const std::filesystem::path& from,
                                                     const std::filesystem::path& to) {
    int moved = 0;
    for (const std::string& name : backupsIn(from)) {
        std::error_code error;
        std::filesystem::rename(from / name, to / name, error);
        if (error) {  // another file system: copy, then remove
            error.clear();
            std::filesystem::copy_file(from / name, to / name, error);
            if (!error)
                std::filesystem::remove(from / name, error);
        }
        moved += error ? 0 : 1;
    }
    return moved;
}

}  // namespace ravelong
