#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/ApplicationShell.h"
#include "core/services/AlertSound.h"
#include "support/RecordingAlertSound.h"

namespace ravelong::app_testing {

// Thrown by RecordingApplicationShell::terminateImmediately, so a test can see the process
// would have ended there.
struct ImmediateTermination : std::runtime_error {
    ImmediateTermination() : std::runtime_error("terminated immediately") {}
};

// An interface that records what the delegate asked of it, as one line per call ("requestQuit",
// "showTimersRunningWindow A timer is running.|Do you want to stop it?", ...), with settable
// answers for the questions the delegate asks.
class RecordingApplicationShell final : public ApplicationShell {
public:
    std::vector<std::string> calls;
    bool active = true;
    bool commitEditingSucceeds = true;
    bool mainWindowOpen = false;
    bool panelDetached = false;
    RecordingAlertSound sound;
    std::vector<ZRCDTiming*> runningTimings;

    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& call : calls)
            n += call.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    void requestQuit() override { calls.push_back("requestQuit"); }
    [[noreturn]] void terminateImmediately() override {
        calls.push_back("terminateImmediately");
        throw ImmediateTermination();
    }
    void activate() override { calls.push_back("activate"); }
    bool isActive() const override { return active; }
    void resetApplicationIcon() override { calls.push_back("resetApplicationIcon"); }
    bool commitEditing() override {
        calls.push_back("commitEditing");
        return commitEditingSucceeds;
    }
    void registerDisplayReconfigurationCallback() override {
        calls.push_back("registerDisplayReconfigurationCallback");
    }
    void removeDisplayReconfigurationCallback() override {
        calls.push_back("removeDisplayReconfigurationCallback");
    }
    void createMenuBarControllers() override { calls.push_back("createMenuBarControllers"); }
    void closeMenuBarController() override { calls.push_back("closeMenuBarController"); }
    void togglePanel() override { calls.push_back("togglePanel"); }
    void closePanel() override { calls.push_back("closePanel"); }
    bool isPanelDetached() const override { return panelDetached; }
    void reattachPanel() override {
        calls.push_back("reattachPanel");
        panelDetached = false;
    }
    void reloadPanelTable() override { calls.push_back("reloadPanelTable"); }
    void reloadPanelRows(const std::vector<int>& rows) override {
        std::string line = "reloadPanelRows";
        for (int row : rows)
            line += " " + std::to_string(row);
        calls.push_back(line);
    }
    void setRunningTimings(const std::vector<ZRCDTiming*>& timings) override {
        calls.push_back("setRunningTimings " + std::to_string(timings.size()));
        runningTimings = timings;
    }
    void runningStateChangedForTasks(const std::vector<ZRCDTask*>& tasks) override {
        calls.push_back("runningStateChangedForTasks " + std::to_string(tasks.size()));
    }
    void showMainWindow() override {
        calls.push_back("showMainWindow");
        mainWindowOpen = true;
    }
    void closeMainWindow() override {
        calls.push_back("closeMainWindow");
        mainWindowOpen = false;
    }
    bool isMainWindowOpen() const override { return mainWindowOpen; }
    void showTimersRunningWindow(const std::string& messageText,
                                 const std::string& informativeText) override {
        calls.push_back("showTimersRunningWindow " + messageText + "|" + informativeText);
    }
    void closeTimersRunningWindow() override { calls.push_back("closeTimersRunningWindow"); }
    void showDatabaseUpdateWindow(const std::string& text, double maximum) override {
        calls.push_back("showDatabaseUpdateWindow " + text + "|" + std::to_string(maximum));
    }
    void setDatabaseUpdateProgress(double value) override {
        calls.push_back("setDatabaseUpdateProgress " + std::to_string(value));
    }
    void closeDatabaseUpdateWindow() override { calls.push_back("closeDatabaseUpdateWindow"); }
    void showRestrictedModeWindow(const std::string& text) override {
        calls.push_back("showRestrictedModeWindow " + text);
    }
    void closeRestrictedModeWindow() override { calls.push_back("closeRestrictedModeWindow"); }
    void setSyncIndicatorState(std::int32_t state, bool animate) override {
        calls.push_back("setSyncIndicatorState " + std::to_string(state) +
                        (animate ? " animated" : ""));
    }

    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return nullptr; }
    IdleTimePanel* idleTimePanel() override { return nullptr; }
    IdleTimeSource* idleTimeSource() override { return nullptr; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }
};

}  // namespace ravelong::app_testing
