// ravelong-cli as a terminal user meets it, whole processes on a heavy user's store (200,000
// timings, 2,000 tasks): status, and the reports of this week, this year and all time. The same
// history is written in the terminal tracker timewarrior's own format, and its summaries of the
// year and of all time are measured in the same run for comparison.
//
// Every process gets a private set of XDG folders (and TIMEWARRIORDB) and no session bus, so
// ravelong-cli reads the store itself.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/DataLocations.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "core/model/ZRCDTiming.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"

extern char** environ;

namespace ravelong::bench {

namespace {

constexpr int kRuns = 5;

// Runs a program to its end with its output thrown away; the wall-clock seconds, or nothing
// when it could not start or failed.
std::optional<double> timedRun(const std::vector<std::string>& command,
                               const std::vector<std::string>& environment) {
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "cli: " << command.front() << " " << (command.size() > 1 ? command[1] : "")
                  << " failed with status " << status << "\n";
        return std::nullopt;
    }
    return seconds;
}

std::optional<double> medianMilliseconds(const std::vector<std::string>& command,
                                         const std::vector<std::string>& environment, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto seconds = timedRun(command, environment);
        if (!seconds)
            return std::nullopt;
        times.push_back(*seconds * 1000.0);
    }
    return median(times);
}

bool prepareHome(const std::filesystem::path& root, const std::filesystem::path& store) {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    const DataLocations locations = DataLocations::inDataFolder(root / "data");
    std::filesystem::create_directories(locations.groupApplicationFilesDirectory(), ec);
    std::filesystem::create_directories(root / "config" / "ravelong", ec);
    std::filesystem::create_directories(root / "home", ec);
    std::filesystem::copy_file(store, locations.storeURL(), ec);
    if (ec) {
        std::cerr << "cli: cannot copy the store: " << ec.message() << "\n";
        return false;
    }
    UserDefaults settings(root / "config" / "ravelong" / "settings.json");
    settings.setInteger("ZRVersion", kRavelongBuildNumber);
    settings.setBool("ZRDidQuit", true);
    return static_cast<bool>(settings.synchronize());
}

std::string timewStamp(Instant instant) {
    const std::time_t unix = static_cast<std::time_t>(unixTimeFromInstant(instant));
    std::tm utc{};
    gmtime_r(&unix, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// The heavy user's stopped timings as timewarrior intervals, one data file per month, tagged
// with the task's name.
bool writeTimewarriorDatabase(const std::filesystem::path& store, const std::filesystem::path& db) {
    std::error_code ec;
    std::filesystem::remove_all(db, ec);
    std::filesystem::create_directories(db / "data", ec);
    std::ofstream(db / "timewarrior.cfg") << "verbose = no\n";
    auto opened = PersistentStore::open(store, ravelongModel(), StoreOptions{.readOnly = true});
    if (!opened)
        return false;
    auto context = ManagedObjectContext::openMainContext(opened.value());
    if (!context)
        return false;
    std::vector<ZRCDTiming*> timings = ZRCDTiming::getAllTimings_inContext(*context.value());
    std::sort(timings.begin(), timings.end(), [](const ZRCDTiming* a, const ZRCDTiming* b) {
        return a->startDate().value_or(0) < b->startDate().value_or(0);
    });
    std::map<std::string, std::ofstream> files;
    for (const ZRCDTiming* timing : timings) {
        if (timing->running() || !timing->startDate() || !timing->endDate() || !timing->task())
            continue;
        const std::string start = timewStamp(*timing->startDate());
        const std::string month = start.substr(0, 4) + "-" + start.substr(4, 2);
        auto& file = files[month];
        if (!file.is_open())
            file.open(db / "data" / (month + ".data"));
        std::string tag = timing->task()->taskName().value_or("task");
        std::replace(tag.begin(), tag.end(), '"', '\'');
        file << "inc " << start << " - " << timewStamp(*timing->endDate()) << " # \"" << tag
             << "\"\n";
    }
    return !files.empty();
}

int runCliSuite() {
    const auto store = heavyUserStoreFileMadeInChildProcess(HeavyUserProfile{});
    if (!store) {
        std::cerr << "cli: " << store.error().description << "\n";
        return 1;
    }
    const std::filesystem::path root = benchDataDirectory() / "ravelong-cli-bench";
    if (!prepareHome(root, store.value()))
        return 1;
    const std::vector<std::string> environment = {
        "HOME=" + (root / "home").string(),
        "XDG_DATA_HOME=" + (root / "data").string(),
        "XDG_CONFIG_HOME=" + (root / "config").string(),
        "XDG_RUNTIME_DIR=" + (root / "home").string(),
        "TIMEWARRIORDB=" + (root / "timewarrior").string(),
        "PATH=/usr/bin:/bin",
        "LANG=C.UTF-8",
        "TZ=Europe/Berlin",
    };
    const std::string cli = RAVELONG_CLI_PATH;
    int failures = 0;
    const auto figure = [&](const char* name, const std::vector<std::string>& command, int runs) {
        const auto ms = medianMilliseconds(command, environment, runs);
        if (!ms) {
            ++failures;
            return std::optional<double>();
        }
        printFigure(name, *ms, "ms");
        return ms;
    };
    figure("cli_status_ms", {cli, "status"}, kRuns);
    figure("cli_report_week_ms", {cli, "report", "week"}, kRuns);
    const auto year = figure("cli_report_year_ms", {cli, "report", "year"}, kRuns);
    const auto all = figure("cli_report_all_ms", {cli, "report", "all"}, kRuns);

    if (!writeTimewarriorDatabase(store.value(), root / "timewarrior")) {
        std::cerr << "cli: cannot write the timewarrior history\n";
        return 1;
    }
    // One run each: timewarrior reads every interval of the history on every call.
    const auto timewYear = figure("timew_summary_year_ms", {"timew", "summary", ":year"}, 1);
    const auto timewAll = figure("timew_summary_all_ms", {"timew", "summary", ":all"}, 1);
    if (year && timewYear)
        printFigure("cli_report_year_speedup", *timewYear / *year, "x");
    if (all && timewAll)
        printFigure("cli_report_all_speedup", *timewAll / *all, "x");
    return failures == 0 ? 0 : 1;
}

}  // namespace

RAVELONG_BENCH_SUITE("cli", runCliSuite);

}  // namespace ravelong::bench
