// Figures of the backups on the heavy user's store: writing a backup, restoring it into an empty
// store, importing it into the full store it came from (every record skipped), and the memory a
// restore takes. Each measurement runs in a child process of its own, so that one's memory does
// not count in another's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <system_error>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "exchange/BackupRestore.h"
#include "exchange/BackupWriter.h"
#include "foundation/UserDefaults.h"
#include "support/SettableClock.h"

namespace ravelong::bench {

namespace {

// Runs `work` in a child process; its exit code.
int inChild(const std::function<int()>& work) {
    std::cout.flush();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int code = work();
        std::cout.flush();
        std::fflush(stdout);
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

double peakResidentMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// A data folder whose store file is a copy of `store` (or none), with settings of its own.
DataLocations dataFolder(const std::filesystem::path& root, const std::filesystem::path* store) {
    std::error_code error;
    std::filesystem::remove_all(root, error);
    const DataLocations locations = DataLocations::inDataFolder(root);
    if (store) {
        std::filesystem::create_directories(locations.storeURL().parent_path());
        std::filesystem::copy_file(*store, locations.storeURL());
    }
    return locations;
}

int fail(const Error& error) {
    std::cerr << error.description << " " << error.failureReason << '\n';
    return 1;
}

int runBackupSuite() {
    const HeavyUserProfile profile = heavyUserProfileFromEnvironment();
    SettableClock clock(profile.now + 60.0);
    ScopedClock scopedClock(clock);
    auto heavy = heavyUserStoreFileMadeInChildProcess(profile);
    if (!heavy)
        return fail(heavy.error());
    const std::filesystem::path root = benchDataDirectory() / "backup-bench";
    const std::filesystem::path file = benchDataDirectory() / "backup-bench.xml";
    UserDefaults settings(benchDataDirectory() / "backup-bench-settings.json");
    ScopedUserDefaults scopedSettings(UserDefaults::Suite::standard, settings);

    int code = inChild([&] {
        StoreStack stack(dataFolder(root, &*heavy), StoreModels::standard(), [] { return true; });
        auto context = stack.managedObjectContext();
        if (!context)
            return fail(context.error());
        // libxml2's text writer alone, writing the element stream once (the digest's pass).
        const double stream = secondsFor([&] { (void)BackupWriter(**context).integrityCode(); });
        Status written = Status::success();
        const BenchTiming timing =
            timingOf([&] { written = BackupWriter(**context).writeTo(file); });
        if (!written)
            return fail(written.error());
        printFigure("backup_write_s", timing.wallSeconds, "s");
        printFigure("backup_write_cpu_s", timing.processorSeconds, "s");
        printFigure("libxml2_text_writer_stream_s", stream, "s");
        printFigure("backup_file_mb", std::filesystem::file_size(file) / 1e6, "MB");
        return 0;
    });
    if (code != 0)
        return code;

    code = inChild([&] {
        StoreStack stack(dataFolder(root, nullptr), StoreModels::standard(), [] { return false; });
        if (!stack.managedObjectContext())
            return 1;
        const double before = residentMegabytes();
        Result<backup_restore::Outcome> outcome = Error{};
        const BenchTiming timing = timingOf(
            [&] { outcome = backup_restore::run(stack, file, {backup_restore::Mode::restore}); });
        if (!outcome)
            return fail(outcome.error());
        printFigure("restore_200k_s", timing.wallSeconds, "s");
        printFigure("restore_200k_cpu_s", timing.processorSeconds, "s");
        printFigure("restore_peak_rss_mb", peakResidentMegabytes(), "MB");
        printFigure("restore_rss_before_mb", before, "MB");
        printFigure("restored_store_rss_mb", residentMegabytes(), "MB");
        // Written again, the restored store gives the same file.
        const std::filesystem::path again = benchDataDirectory() / "backup-bench-again.xml";
        if (Status written = BackupWriter(*stack.managedObjectContext().value()).writeTo(again);
            !written)
            return fail(written.error());
        std::ifstream a(file, std::ios::binary), b(again, std::ios::binary);
        const bool identical =
            std::equal(std::istreambuf_iterator<char>(a), std::istreambuf_iterator<char>(),
                       std::istreambuf_iterator<char>(b), std::istreambuf_iterator<char>());
        std::error_code removed;
        std::filesystem::remove(again, removed);
        printFigure("restore_round_trip_identical", identical ? 1 : 0, "");
        std::cout << "restored " << outcome->counts.numberOfImportedTasks << " tasks and "
                  << outcome->counts.numberOfImportedTimings << " timings ("
                  << outcome->counts.numberOfSkippedTimings << " skipped)\n";
        return 0;
    });
    if (code != 0)
        return code;

    code = inChild([&] {
        StoreStack stack(dataFolder(root, &*heavy), StoreModels::standard(), [] { return true; });
        if (!stack.managedObjectContext())
            return 1;
        Result<backup_restore::Outcome> outcome = Error{};
        const BenchTiming timing = timingOf(
            [&] { outcome = backup_restore::run(stack, file, {backup_restore::Mode::import}); });
        if (!outcome)
            return fail(outcome.error());
        printFigure("import_200k_into_full_store_s", timing.wallSeconds, "s");
        printFigure("import_200k_into_full_store_cpu_s", timing.processorSeconds, "s");
        std::cout << "imported " << outcome->counts.numberOfImportedTimings << " timings, skipped "
                  << outcome->counts.numberOfSkippedTimings << "\n";
        return 0;
    });
    std::error_code error;
    std::filesystem::remove_all(root, error);
    std::filesystem::remove(file, error);
    return code;
}

}  // namespace

RAVELONG_BENCH_SUITE("backup", runBackupSuite);

}  // namespace ravelong::bench
