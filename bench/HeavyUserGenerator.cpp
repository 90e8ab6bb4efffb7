#include "bench/HeavyUserGenerator.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/RavelongMigrations.h"
#include "core/calendar/DayBounds.h"
#include "core/calendar/DayNumbers.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDPreferences.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "core/model/ZRCDTimingSet.h"
#include "foundation/Uuid.h"
#include "support/SettableClock.h"

namespace ravelong::bench {

namespace {

using date_additions::beginningOfDayForZRDate;
using date_additions::zrDateWithTimeZoneName;

constexpr const char* kZones[] = {"Europe/Berlin", "America/New_York", "Asia/Kolkata"};
constexpr const char* kNotes[] = {"Call with the client",     "Review",
                                  "Fixed the invoice layout", "Planning for next week",
                                  "Émail follow-up ✓",        "Travel"};

// Deterministic, so every run measures the same data.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    int between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine_);
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(engine_); }
    std::string uuid() {
        static const char* hex = "0123456789ABCDEF";
        std::string text(36, '-');
        for (int i = 0; i < 36; ++i) {
            if (i != 8 && i != 13 && i != 18 && i != 23)
                text[i] = hex[between(0, 15)];
        }
        return text;
    }
    std::mt19937_64& engine() { return engine_; }

private:
    std::mt19937_64 engine_;
};

ZRCDOrigin* makeOrigin(ManagedObjectContext& context, const std::string& device,
                       const std::string& udid, int type, Instant now) {
    auto* origin = context.insertNewObject<ZRCDOrigin>();
    origin->setDevice(device);
    origin->setUdid(udid);
    origin->setDeviceNameChanged(now);
    origin->setUser("Alex Example");
    origin->setUid(1000);
    origin->setUserNameChanged(now);
    origin->setType(static_cast<std::int16_t>(type));
    return origin;
}

struct Era {
    const char* zone;
    std::int32_t cutoffSeconds;
};

// The user lives mostly in Berlin with cut-off 0, spends stretches working late (cut-off 4 h)
// and travels now and then.
Era eraForDay(ZRDate day) {
    const int block = static_cast<int>(day / 45) % 12;
    if (block == 3)
        return {kZones[1], 0};
    if (block == 7)
        return {kZones[2], 0};
    if (block == 5 || block == 10)
        return {kZones[0], 4 * 3600};
    return {kZones[0], 0};
}

}  // namespace

std::filesystem::path benchDataDirectory() {
    if (const char* dir = std::getenv("RAVELONG_BENCH_DIR"))
        return dir;
    return std::filesystem::temp_directory_path() / "ravelong-bench";
}

HeavyUserProfile heavyUserProfileFromEnvironment() {
    HeavyUserProfile profile;
    if (const char* text = std::getenv("RAVELONG_BENCH_TIMINGS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value > 0 && value <= 10'000'000)
            profile.timings = static_cast<int>(value);
    }
    return profile;
}

HeavyUserCounts generateHeavyUser(ManagedObjectContext& context, const HeavyUserProfile& profile) {
    Random random(profile.seed);
    HeavyUserCounts counts;
    const Instant now = profile.now;
    // Setting a timing's fields assigns it to its day aggregates, which reads the clock for
    // running timings: make "now" the profile's.
    SettableClock clock(now);
    ScopedClock scopedClock(clock);

    std::vector<ZRCDOrigin*> origins = {
        makeOrigin(context, "Alex's Laptop", "a4c3f0e2b811", 0, now),
        makeOrigin(context, "Office Desktop", "3c22fb10aa07", 0, now),
        makeOrigin(context, "Alex's Laptop", "a4c3f0e2b811", 2, now),
    };
    counts.origins = static_cast<int>(origins.size());

    auto* preferences = context.insertNewObject<ZRCDPreferences>();
    preferences->setUuid(std::string("PREFERENCES"));
    preferences->setNewDay(0);

    // Tasks: a tenth on tier 1, three tenths on tier 2, the rest on tier 3, in depth-first order
    // of the display chain.
    const int tier1Count = std::max(1, profile.tasks / 10);
    const int tier2Count = std::max(1, profile.tasks * 3 / 10);
    const Instant firstDay = now - profile.years * 365.25 * 86400;
    std::vector<ZRCDTask*> tier1, tier2, leaves, chain;
    auto makeTask = [&](const std::string& name, ZRCDTask* parent) {
        auto* task = context.insertNewObject<ZRCDTask>();
        task->setUuid(random.uuid());
        task->setTaskName(name);
        task->setDate(firstDay + random.between(0, 86400 * 30));
        task->setUpdatedDate(now);
        task->setCreatedDay(20170101);
        const std::uint32_t rgb = static_cast<std::uint32_t>(random.between(0, 0xFFFFFF));
        task->setTaskColor(Data{static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                                static_cast<std::uint8_t>(rgb >> 16), 0});
        task->setIsVisibleInMenuBar(true);
        task->setIsVisibleInDataSelection(true);
        task->setTaskIsSelected(true);
        // Only activities (third-tier tasks) are archived: an archived parent of live subtasks
        // is something the tree rules never allow.
        const bool isActivity = parent && parent->parentTask();
        task->setIsArchived(isActivity && random.chance(0.1));
        task->setRounding(random.chance(0.05) ? 115 : -1);
        if (random.chance(0.2))
            task->setTaskDescription(std::string("Budget line ") + name);
        task->addOriginsObject(origins[random.chance(0.9) ? 0 : 1]);
        if (parent)
            task->setParentTask(parent);
        ++counts.tasks;
        return task;
    };
    for (int i = 0; i < tier1Count; ++i)
        tier1.push_back(makeTask("Client " + std::to_string(i + 1), nullptr));
    for (int i = 0; i < tier2Count; ++i) {
        tier2.push_back(makeTask("Project " + std::to_string(i + 1), tier1[i % tier1.size()]));
    }
    const int tier3Count = std::max(0, profile.tasks - tier1Count - tier2Count);
    for (int i = 0; i < tier3Count; ++i) {
        leaves.push_back(makeTask("Activity " + std::to_string(i + 1), tier2[i % tier2.size()]));
    }
    for (ZRCDTask* project : tier2) {
        if (project->childTasks().empty())
            leaves.push_back(project);
    }
    for (ZRCDTask* client : tier1) {
        chain.push_back(client);
        for (ZRCDTask* project : client->childTasks()) {
            chain.push_back(project);
            for (ZRCDTask* activity : project->childTasks())
                chain.push_back(activity);
        }
    }
    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        chain[i]->setNextTask(chain[i + 1]);

    // Working days, Monday to Friday, counted in Berlin.
    std::vector<ZRDate> workingDays;
    const ZRDate lastDay = zrDateWithTimeZoneName(now, kZones[0], 0, false);
    for (ZRDate day = zrDateWithTimeZoneName(firstDay, kZones[0], 0, false); day < lastDay; ++day) {
        const int weekday =
            static_cast<int>((day + 4) % 7);  // 0 = Sunday; 1970-01-01 was a Thursday
        if (weekday != 0 && weekday != 6)
            workingDays.push_back(day);
    }
    const int perDay = std::max(1, (profile.timings + static_cast<int>(workingDays.size()) - 1) /
                                       static_cast<int>(workingDays.size()));

    std::vector<ZRCDTask*> activeLeaves;
    for (ZRCDTask* leaf : leaves) {
        if (!leaf->isArchived())
            activeLeaves.push_back(leaf);
    }
    if (activeLeaves.empty())
        activeLeaves = leaves;
    std::size_t leafCursor = 0;

    for (ZRDate day : workingDays) {
        if (counts.timings >= profile.timings)
            break;
        const Era era = eraForDay(day);
        Instant cursor = beginningOfDayForZRDate(day, era.zone, era.cutoffSeconds) + 8 * 3600 -
                         era.cutoffSeconds + random.between(0, 1800);
        for (int i = 0; i < perDay && counts.timings < profile.timings; ++i) {
            ZRCDTask* task = activeLeaves[leafCursor++ % activeLeaves.size()];
            const bool lateSession = i == perDay - 1 && random.chance(0.03);
            const Instant start = lateSession ? cursor + 5 * 3600 : cursor;
            const Instant end =
                start + (lateSession ? random.between(2, 5) * 3600 : random.between(180, 540));
            cursor = end + random.between(0, 120);

            auto* timing = context.insertNewObject<ZRCDTiming>();
            timing->setUuid(random.uuid());
            timing->setStartDate(start);
            timing->setEndDate(end);
            timing->setModified(end);
            timing->setTimezone(std::string(era.zone));
            timing->setNewDayOffset(era.cutoffSeconds);
            if (random.chance(0.3))
                timing->setNote(std::string(kNotes[random.between(0, 5)]));
            timing->setOrigin(origins[random.chance(0.7) ? 0 : (random.chance(0.9) ? 1 : 2)]);
            timing->setTask(task);
            ++counts.timings;
        }
    }

    if (profile.runningTimer && !activeLeaves.empty()) {
        ZRCDTask* task = activeLeaves.front();
        const Instant start = now - 1800.5;
        auto* timing = context.insertNewObject<ZRCDTiming>();
        timing->setUuid(random.uuid());
        timing->setStartDate(start);
        timing->setEndDate(kSentinelDate);
        timing->setModified(start + 0.5);
        timing->setTimezone(std::string(kZones[0]));
        timing->setNewDayOffset(0);
        timing->setOrigin(origins[0]);
        timing->setTask(task);
        ++counts.timings;
    }
    counts.timingSets = static_cast<int>(context.count<ZRCDTimingSet>());
    return counts;
}

Result<std::filesystem::path> heavyUserStoreFile(const std::filesystem::path& directory,
                                                 const HeavyUserProfile& profile) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    const std::filesystem::path path =
        directory / ("heavy-user-r4-" + std::to_string(profile.tasks) + "-" +
                     std::to_string(profile.timings) + "-" + std::to_string(profile.seed) + "-v" +
                     std::to_string(ravelongModel().version()) + ".sqlite");
    if (std::filesystem::exists(path))
        return path;

    // Several benchmark programs may ask for the same file at once: one makes it while the
    // others wait on this lock, then find it made.
    const std::filesystem::path lockPath = path.string() + ".generating";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0 || ::flock(lockFd, LOCK_EX) != 0) {
        if (lockFd >= 0)
            ::close(lockFd);
        return Error{kRavelongErrorDomain, 1, "Cannot lock " + lockPath.string(), ""};
    }
    struct Unlock {
        int fd;
        ~Unlock() { ::close(fd); }
    } unlock{lockFd};
    if (std::filesystem::exists(path))
        return path;

    const std::filesystem::path partial = path.string() + ".partial-" + std::to_string(::getpid());
    {
        auto store = PersistentStore::open(partial, ravelongModel(), ravelongStoreOptions());
        if (!store)
            return store.error();
        auto context = ManagedObjectContext::openMainContext(store.value());
        if (!context)
            return context.error();
        generateHeavyUser(**context, profile);
        if (Status saved = (*context)->save(); !saved)
            return saved.error();
    }
    // Closing the store folded its journal into the file; only the lock file is left over.
    std::filesystem::remove(partial.string() + ".lock", ec);
    std::filesystem::rename(partial, path, ec);
    if (ec)
        return Error{kRavelongErrorDomain, 1, "Cannot keep the benchmark store", ec.message()};
    return path;
}

Result<std::filesystem::path> heavyUserStoreFileMadeInChildProcess(
    const HeavyUserProfile& profile) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto file = heavyUserStoreFile(benchDataDirectory(), profile);
        if (!file)
            std::cerr << file.error().description << ": " << file.error().failureReason << '\n';
        ::_exit(file ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Error{kRavelongErrorDomain, 1, "Cannot make the benchmark store", ""};
    return heavyUserStoreFile(benchDataDirectory(), profile);
}

}  // namespace ravelong::bench
