#include "tests/exchange/BackupTestSupport.h"

#include <stdexcept>

#include "core/model/ZRCDOrigin.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"

namespace ravelong::backup_testing {

BackupTest::BackupTest() {
    clock.set(731322000.0);  // 2024-03-05 09:00 UTC
}

BackupTest::~BackupTest() = default;

StoreStack& BackupTest::stack() {
    if (!stack_)
        stack_ = newStack("data");
    return *stack_;
}

ManagedObjectContext& BackupTest::context() {
    auto context = stack().managedObjectContext();
    if (!context)
        throw std::runtime_error("the store cannot be opened: " + context.error().description);
    return **context;
}

std::unique_ptr<StoreStack> BackupTest::newStack(const std::string& name) {
    return std::make_unique<StoreStack>(DataLocations::inDataFolder(directory.path() / name),
                                        StoreModels::standard(), [] { return false; });
}

std::filesystem::path BackupTest::fileWith(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = directory.path() / name;
    testing::writeFile(path, bytes);
    return path;
}

std::size_t BackupTest::taskCount(const ManagedObjectContext& context) {
    return context.count<ZRCDTask>();
}

std::size_t BackupTest::timingCount(const ManagedObjectContext& context) {
    return context.count<ZRCDTiming>();
}

void BackupTest::fillSampleStore(ManagedObjectContext& context) {
    ZRCDOrigin* here = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(0, context);
    ZRCDOrigin* csv = ZRCDOrigin::createOrGetOriginForThisDeviceAndThisUserWithType(2, context);
    ZRCDOrigin* phone = ZRCDOrigin::createCoreDataOriginIfNecessaryWithDevice(
        std::string("Ada's phone"), 700000000.5, std::string("ffee00112233"),
        std::string("Ada L. <ada@example.org>"), 700000001.25, 501, 3, context);

    auto task = [&](const std::string& name, ZRCDTask* parent, std::int16_t rounding,
                    TaskColor color, bool archived, std::vector<ZRCDOrigin*> origins) {
        ZRCDTask::ImportedTaskValues values;
        values.uuid = "TASK-" + name;
        values.taskName = name;
        values.createdDay = 20240101 + static_cast<int>(name.size());
        values.date = 725000000.0 + static_cast<double>(name.size()) * 1000.5;
        values.taskDescription =
            name.size() % 2 ? std::optional<std::string>("about " + name) : std::nullopt;
        values.color = color;
        values.parentTask = parent;
        values.isArchived = archived;
        values.origins = std::move(origins);
        values.rounding = rounding;
        ZRCDTask* made = ZRCDTask::createCoreDataTaskImportWithValues(values, context);
        if (!made)
            throw std::runtime_error("the task was refused");
        return made;
    };
    int serial = 0;
    auto timing = [&](ZRCDTask* owner, Instant start, double length, const char* note,
                      const char* zone, ZRCDOrigin* origin) {
        ++serial;
        ZRCDTiming* made = ZRCDTiming::createCoreDataTimingWithStartDate_andNewDayOffset(
            start, start + length, serial % 2 ? 0 : 14400, std::string(zone), owner,
            note ? std::optional<std::string>(note) : std::nullopt,
            "TIMING-" + std::to_string(serial), origin, 0, context);
        if (!made)
            throw std::runtime_error("the timing was refused");
        return made;
    };

    ZRCDTask* work = task("Work & <Play>", nullptr, 15, {1.0, 128 / 255.0, 0.0}, false, {here});
    ZRCDTask* client = task("Client \"Zürich\"", work, -1, {0.2, 0.4, 0.6}, false, {here, phone});
    ZRCDTask* design = task("Design 設計", client, 0, {0.0, 0.0, 1.0}, false, {csv});
    ZRCDTask* review = task("Review", client, -1, {0.5, 0.5, 0.5}, true, {csv});
    ZRCDTask* admin = task("Admin", work, 30, {0.1, 0.9, 0.1}, false, {phone});
    ZRCDTask* home = task("Home", nullptr, -1, {0.9, 0.1, 0.1}, false, {here});
    ZRCDTask* garden = task("Garden 🌱", home, -1, {0.0, 0.5, 0.0}, false, {here});
    ZRCDTask* chores = task("Chores", home, 5, {0.3, 0.3, 0.3}, false, {here, csv});

    const Instant base = 731000000.0;  // March 2024
    timing(design, base, 3600, "sketches, 草稿 and 🎨", "Europe/Berlin", here);
    timing(design, base + 86400, 5400.25, nullptr, "Asia/Tokyo", phone);
    timing(design, base + 86400, 60, "same start", "Europe/Berlin", here);
    timing(review, base + 2 * 86400, 1800, "a < b && c > d", "Europe/Berlin", csv);
    timing(admin, base + 3 * 86400 + 82800, 7200, "past midnight", "America/New_York", here);
    timing(garden, base + 4 * 86400, 900, "  spaced  ", "Europe/Berlin", here);
    timing(chores, base + 5 * 86400, 600, "tab\there", "Europe/Berlin", phone);
    // The running timer.
    ZRCDTiming* running = timing(garden, base + 6 * 86400, 1, nullptr, "Europe/Berlin", here);
    running->setEndDate(kSentinelDate);
    context.processPendingChanges();
}

}  // namespace ravelong::backup_testing
