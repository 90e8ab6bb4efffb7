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

#ifdef RAVELONG_BENCH_DBUS
#include <signal.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#endif

extern char** environ;

namespace ravelong::bench {

namespace {

// Each command runs once untimed (the first run after the store was copied makes its shared
// memory index), then the median of these runs is its figure.
constexpr int kRuns = 15;

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
    if (runs > 1 && !timedRun(command, environment))
        return std::nullopt;
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
    settings.setInteger("ZRShowTasks", 2);
    settings.setBool("ZRDidQuit", true);
    settings.setBool("ZRNoTrayNoticeShown", true);
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

#ifdef RAVELONG_BENCH_DBUS
// Starts a process with its standard output on a pipe (when asked); the pid, or -1.
pid_t spawnWithOutput(const std::vector<std::string>& command,
                      const std::vector<std::string>& environment, int* outputFd) {
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outputFd && pipe(pipeFds) == 0) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (outputFd) {
        close(pipeFds[1]);
        *outputFd = pipeFds[0];
    }
    return pid;
}

// A toggle through the scripting interface against the running program on the heavy store,
// from the call until the reply (the program saves the store before it answers).
std::optional<double> dbusToggleRoundtripMs(std::vector<std::string> environment) {
    static int argc = 1;
    static char name[] = "ravelong-bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    int daemonOut = -1;
    const pid_t daemon = spawnWithOutput(
        {"dbus-daemon", "--session", "--nofork", "--print-address=1"}, environment, &daemonOut);
    if (daemon < 0)
        return std::nullopt;
    std::string address;
    char c = 0;
    while (read(daemonOut, &c, 1) == 1 && c != '\n')
        address += c;
    close(daemonOut);
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + address);
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    const pid_t program = spawnWithOutput({RAVELONG_PROGRAM_PATH}, environment, nullptr);
    std::optional<double> result;
    {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QString::fromStdString(address), QStringLiteral("bench"));
        const QString service = QStringLiteral("io.github.ravelong.Ravelong");
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (bus.isConnected() && !bus.interface()->isServiceRegistered(service).value() &&
               std::chrono::steady_clock::now() < deadline)
            usleep(100000);
        const auto call = [&](const char* method, const QList<QVariant>& arguments) {
            QDBusMessage message = QDBusMessage::createMethodCall(
                service, QStringLiteral("/io/github/ravelong/Ravelong"), service, method);
            message.setArguments(arguments);
            return bus.call(message, QDBus::Block, 30000);
        };
        QDBusMessage get = QDBusMessage::createMethodCall(
            service, QStringLiteral("/io/github/ravelong/Ravelong"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << service << QStringLiteral("RunningTaskIDs");
        const QStringList running = bus.call(get, QDBus::Block, 30000)
                                        .arguments()
                                        .value(0)
                                        .value<QDBusVariant>()
                                        .variant()
                                        .toStringList();
        if (!running.isEmpty()) {
            std::vector<double> times;
            for (int i = 0; i < 10; ++i) {
                const auto start = std::chrono::steady_clock::now();
                const QDBusMessage reply = call("ToggleTask", {running.front()});
                times.push_back(std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
                if (reply.type() != QDBusMessage::ReplyMessage ||
                    !reply.arguments().value(0).toBool()) {
                    std::cerr << "cli: a toggle over D-Bus failed\n";
                    times.clear();
                    break;
                }
            }
            if (!times.empty())
                result = median(times);
        } else {
            std::cerr
                << "cli: the program did not offer the scripting interface with a running task\n";
        }
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("bench"));
    int status = 0;
    if (program > 0) {
        kill(program, SIGTERM);
        waitpid(program, &status, 0);
    }
    kill(daemon, SIGTERM);
    waitpid(daemon, &status, 0);
    return result;
}
#endif

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
#ifdef RAVELONG_BENCH_DBUS
    // Last: the program changes its copy of the store.
    if (const auto ms = dbusToggleRoundtripMs(environment))
        printFigure("dbus_toggle_roundtrip_ms", *ms, "ms");
    else
        ++failures;
#endif
    return failures == 0 ? 0 : 1;
}

}  // namespace

RAVELONG_BENCH_SUITE("cli", runCliSuite);

}  // namespace ravelong::bench
