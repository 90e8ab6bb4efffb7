#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "core/services/UserScript.h"

namespace ravelong {

class AlertPresenter;
class MainLoop;

// The user's own script: an executable file `ravelong_user_script` in the scripts folder
// ($XDG_CONFIG_HOME/ravelong/scripts). Whether it is there is decided once, when the runner is
// made (the folder is created when missing, so the user finds where to put it); a script added
// later counts from the next start.
//
// send() starts the script with two arguments, the handler name in lower case and the timing's
// uuid, also given in the environment as RAVELONG_SCRIPT_HANDLER and RAVELONG_TIMING_UUID. It
// does not wait: the script runs on its own, its standard error is collected and its exit
// reaped on a thread of its own. Calls start the script in the order they are made. A script
// that cannot be started, exits with a status other than 0 or is killed shows the critical
// alert "User Script Error" on the main loop, with the last lines of its standard error.
//
// send() belongs to the main thread. Destroying the runner leaves running scripts alone; their
// results are then dropped. The loop and presenter outlive the runner.
class UserScriptRunner final : public UserScript {
public:
    static constexpr const char* kScriptFileName = "ravelong_user_script";
    // How many of the last lines of standard error the alert shows.
    static constexpr int kErrorLines = 10;

    UserScriptRunner(std::filesystem::path scriptsFolder, MainLoop& loop, AlertPresenter& alerts);
    ~UserScriptRunner() override;
    UserScriptRunner(const UserScriptRunner&) = delete;
    UserScriptRunner& operator=(const UserScriptRunner&) = delete;

    // $XDG_CONFIG_HOME/ravelong/scripts.
    static std::filesystem::path defaultScriptsFolder();

    bool isInstalled() const override { return installed_; }
    const std::filesystem::path& scriptPath() const { return scriptPath_; }
    void send(std::string handlerName, std::string timingUuid) override;

    struct Shared;

private:
    std::filesystem::path scriptPath_;
    bool installed_ = false;
    std::shared_ptr<Shared> shared_;
};

}  // namespace ravelong
