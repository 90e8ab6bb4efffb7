#include "platform/UserScriptRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/MainLoop.h"
#include "foundation/UserFolders.h"

extern char** environ;

namespace ravelong {

namespace {

constexpr const char* kUserScriptError = "User Script Error";
constexpr const char* kOk = "Ok";
constexpr std::size_t kMaxErrorBytes = 16 * 1024;

std::string lastLines(std::string text, int count) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    std::size_t cut = text.size();
    for (int i = 0; i < count && cut != std::string::npos && cut > 0; ++i)
        cut = text.rfind('\n', cut - 1);
    if (cut != std::string::npos && cut < text.size() && text[cut] == '\n')
        return text.substr(cut + 1);
    return text;
}

}  // namespace

// What the reaper threads share with the runner: they may outlive it.
struct UserScriptRunner::Shared {
    std::mutex mutex;
    MainLoop* loop = nullptr;
    AlertPresenter* alerts = nullptr;

    // Hands a failure to the main loop, which shows the alert unless the runner is gone.
    static void report(const std::shared_ptr<Shared>& shared, std::string details) {
        logWarning("user script", "failed: " + details);
        std::lock_guard lock(shared->mutex);
        if (!shared->loop)
            return;
        shared->loop->runOnMainThread([shared, details = std::move(details)] {
            AlertPresenter* presenter = nullptr;
            {
                std::lock_guard lock(shared->mutex);
                presenter = shared->alerts;
            }
            // The runner is destroyed on the main thread too, so the presenter stays valid
            // while the alert runs.
            if (!presenter)
                return;
            Alert alert;
            alert.messageText = kUserScriptError;
            alert.informativeText = details;
            alert.buttons = {kOk};
            alert.style = Alert::Style::Critical;
            presenter->runModal(alert);
        });
    }
};

UserScriptRunner::UserScriptRunner(std::filesystem::path scriptsFolder, MainLoop& loop,
                                   AlertPresenter& alerts)
    : scriptPath_(scriptsFolder / kScriptFileName), shared_(std::make_shared<Shared>()) {
    shared_->loop = &loop;
    shared_->alerts = &alerts;
    std::error_code error;
    std::filesystem::create_directories(scriptsFolder, error);
    struct stat info {};
    installed_ = ::stat(scriptPath_.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                 ::access(scriptPath_.c_str(), X_OK) == 0;
    if (installed_)
        logInfo("user script", "found " + scriptPath_.string());
}

UserScriptRunner::~UserScriptRunner() {
    std::lock_guard lock(shared_->mutex);
    shared_->loop = nullptr;
    shared_->alerts = nullptr;
}

std::filesystem::path UserScriptRunner::defaultScriptsFolder() {
    return user_folders::configHome() / "ravelong" / "scripts";
}

void UserScriptRunner::send(std::string handlerName, std::string timingUuid) {
    if (!installed_)
        return;
    std::transform(handlerName.begin(), handlerName.end(), handlerName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        Shared::report(
            shared_, std::string("The user script could not be started: ") + std::strerror(errno));
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);

    std::vector<std::string> environment;
    for (char** entry = environ; entry && *entry; ++entry) {
        const std::string_view text(*entry);
        if (!text.starts_with("RAVELONG_SCRIPT_HANDLER=") &&
            !text.starts_with("RAVELONG_TIMING_UUID="))
            environment.emplace_back(text);
    }
    environment.push_back("RAVELONG_SCRIPT_HANDLER=" + handlerName);
    environment.push_back("RAVELONG_TIMING_UUID=" + timingUuid);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = scriptPath_.string();
    std::vector<char*> argv{program.data(), handlerName.data(), timingUuid.data(), nullptr};

    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorPipe[1]);
    if (spawned != 0) {
        ::close(errorPipe[0]);
        Shared::report(shared_, "The user script " + program +
                                    " could not be started: " + std::strerror(spawned));
        return;
    }
    // The reaper collects standard error until the script closes it, then its exit status.
    std::thread([shared = shared_, pid, fd = errorPipe[0]] {
        std::string collected;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            collected.append(buffer, static_cast<std::size_t>(got));
            if (collected.size() > kMaxErrorBytes)
                collected.erase(0, collected.size() - kMaxErrorBytes);
        }
        ::close(fd);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return;
        std::string details = lastLines(collected, kErrorLines);
        if (details.empty()) {
            details = WIFSIGNALED(status) ? "The user script was ended by signal " +
                                                std::to_string(WTERMSIG(status)) + "."
                                          : "The user script exited with status " +
                                                std::to_string(WEXITSTATUS(status)) + ".";
        }
        Shared::report(shared, std::move(details));
    }).detach();
}

}  // namespace ravelong
