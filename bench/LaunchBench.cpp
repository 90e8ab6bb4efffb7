// Launch and quit of the real program on a heavy user's store (200,000 timings, 2,000 tasks):
// from process start until the tray item is shown, until the repair pass and the crash check
// are done, and from the quit request (SIGTERM, as at logout) until the process has exited.
//
// The program runs on Qt's offscreen platform without a session bus, in a private set of XDG
// folders holding a fresh copy of the store for every run; it reports its milestones on stdout
// (RAVELONG_REPORT_MILESTONES). Times are taken here, when the lines arrive, so they include
// loading the program.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "app/DataLocations.h"
#include "bench/BenchSuite.h"
#include "bench/HeavyUserGenerator.h"
#include "foundation/UserDefaults.h"
#include "foundation/Version.h"

namespace ravelong::bench {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kRuns = 3;
constexpr double kMilestoneTimeout = 60.0;

double secondsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// One run of the program, with its stdout read line by line.
class ProgramRun {
public:
    ProgramRun(const std::string& program, const std::vector<std::string>& environment) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        start_ = SteadyClock::now();
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, STDIN_FILENO);
            dup2(devnull, STDERR_FILENO);
            std::vector<char*> env;
            for (const std::string& entry : environment)
                env.push_back(const_cast<char*>(entry.c_str()));
            env.push_back(nullptr);
            char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
            execve(program.c_str(), argv, env.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
    }

    ~ProgramRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }

    bool started() const { return pid_ > 0 && out_ >= 0; }

    // Seconds from the start until a line beginning with `prefix` arrived, or nothing when the
    // program ended or the wait timed out.
    std::optional<double> waitForLine(const std::string& prefix) {
        while (secondsSince(start_) < kMilestoneTimeout) {
            for (std::size_t newline; (newline = buffer_.find('\n')) != std::string::npos;) {
                const std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                if (line.rfind(prefix, 0) == 0)
                    return secondsSince(start_);
            }
            pollfd fd{out_, POLLIN, 0};
            if (poll(&fd, 1, 100) > 0) {
                char chunk[4096];
                const ssize_t n = read(out_, chunk, sizeof chunk);
                if (n <= 0)
                    return std::nullopt;
                buffer_.append(chunk, static_cast<std::size_t>(n));
            }
        }
        return std::nullopt;
    }

    // Sends SIGTERM and returns the seconds until the process has exited, with its exit status.
    std::optional<double> terminate(int& status) {
        const auto sent = SteadyClock::now();
        kill(pid_, SIGTERM);
        while (secondsSince(sent) < kMilestoneTimeout) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return secondsSince(sent);
            }
            usleep(1000);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    SteadyClock::time_point start_;
    std::string buffer_;
};

#ifdef RAVELONG_PROGRAM_PATH
struct RunFigures {
    double toTray = 0;
    double toRepaired = 0;
    double quit = 0;
};

// A user's folders with the heavy store in place and the settings of a program that has run
// here before and quit properly (so no first-run panel and no crash question wait for a click).
bool prepareHome(const std::filesystem::path& root, const std::filesystem::path& store) {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    const DataLocations locations = DataLocations::inDataFolder(root / "data");
    std::filesystem::create_directories(locations.groupApplicationFilesDirectory(), ec);
    std::filesystem::create_directories(root / "config" / "ravelong", ec);
    std::filesystem::create_directories(root / "home", ec);
    std::filesystem::copy_file(store, locations.storeURL(), ec);
    if (ec) {
        std::cerr << "launch: cannot copy the store: " << ec.message() << "\n";
        return false;
    }
    UserDefaults settings(root / "config" / "ravelong" / "settings.json");
    settings.setInteger("ZRVersion", kRavelongBuildNumber);
    settings.setInteger("ZRShowTasks", 2);
    settings.setBool("ZRDidQuit", true);
    settings.setBool("ZRNoTrayNoticeShown", true);
    return static_cast<bool>(settings.synchronize());
}

std::optional<RunFigures> runOnce(const std::filesystem::path& root) {
    const std::vector<std::string> environment = {
        "HOME=" + (root / "home").string(),
        "XDG_DATA_HOME=" + (root / "data").string(),
        "XDG_CONFIG_HOME=" + (root / "config").string(),
        "XDG_RUNTIME_DIR=" + (root / "home").string(),
        "QT_QPA_PLATFORM=offscreen",
        "RAVELONG_REPORT_MILESTONES=1",
        "LANG=en_US.UTF-8",
        "TZ=Europe/Berlin",
    };
    ProgramRun run(RAVELONG_PROGRAM_PATH, environment);
    if (!run.started())
        return std::nullopt;
    RunFigures figures;
    const auto tray = run.waitForLine("milestone tray-shown");
    const auto repaired = run.waitForLine("milestone repaired");
    if (!tray || !repaired) {
        std::cerr << "launch: the program did not report its launch milestones\n";
        return std::nullopt;
    }
    figures.toTray = *tray;
    figures.toRepaired = *repaired;
    int status = 0;
    const auto quit = run.terminate(status);
    if (!quit || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << "launch: the program did not exit cleanly after SIGTERM\n";
        return std::nullopt;
    }
    figures.quit = *quit;
    return figures;
}
#endif

int launchSuite() {
#ifndef RAVELONG_PROGRAM_PATH
    std::cerr << "launch: this build has no ravelong program (configured without Qt)\n";
    return 1;
#else
    auto store = heavyUserStoreFileMadeInChildProcess(HeavyUserProfile{});
    if (!store) {
        std::cerr << "launch: " << store.error().description << "\n";
        return 1;
    }
    const std::filesystem::path root = benchDataDirectory() / "launch-home";
    std::vector<double> toTray, toRepaired, quit;
    for (int i = 0; i < kRuns; ++i) {
        if (!prepareHome(root, store.value()))
            return 1;
        const auto figures = runOnce(root);
        if (!figures)
            return 1;
        toTray.push_back(figures->toTray);
        toRepaired.push_back(figures->toRepaired);
        quit.push_back(figures->quit);
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    printFigure("launch_to_tray_s", median(toTray), "s");
    printFigure("launch_to_repaired_s", median(toRepaired), "s");
    printFigure("quit_s", median(quit), "s");
    return 0;
#endif
}

}  // namespace

RAVELONG_BENCH_SUITE("launch", launchSuite);

}  // namespace ravelong::bench
