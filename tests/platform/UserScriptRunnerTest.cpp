#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "foundation/AlertPresenter.h"
#include "foundation/Clock.h"
#include "platform/UserScriptRunner.h"
#include "support/TestSupport.h"
#include "support/VirtualMainLoop.h"

namespace ravelong {
namespace {

using ::testing::UnorderedElementsAre;

class UserScriptRunnerTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return directory / "scripts"; }
    std::filesystem::path script() const { return folder() / UserScriptRunner::kScriptFileName; }

    void writeScript(const std::string& body, mode_t mode = 0755) {
        std::filesystem::create_directories(folder());
        std::ofstream(script()) << "#!/bin/sh\n" << body;
        ::chmod(script().c_str(), mode);
    }
    std::unique_ptr<UserScriptRunner> makeRunner() {
        return std::make_unique<UserScriptRunner>(folder(), loop, alerts);
    }
    // Runs the loop's work until `done` holds, for at most five seconds of real time (the
    // scripts are real processes).
    bool waitUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            loop.runPending();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::vector<std::string> lines(const std::filesystem::path& path) {
        std::vector<std::string> result;
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    testing::TemporaryDirectory directory;
    SettableClock clock{1000.0};
    VirtualMainLoop loop{clock};
    ScriptedAlertPresenter alerts;
};

TEST_F(UserScriptRunnerTest, CallsTheScriptWithTheLowerCasedHandlerAndTheUuid) {
    const auto log = directory / "calls.log";
    writeScript("echo \"$1 $2 $RAVELONG_SCRIPT_HANDLER $RAVELONG_TIMING_UUID\" >> '" +
                log.string() + "'\n");
    auto runner = makeRunner();
    ASSERT_TRUE(runner->isInstalled());
    runner->send("timerStartedForTiming", "uuid-1");
    runner->send("timerStoppedForTiming", "uuid-1");
    ASSERT_TRUE(waitUntil([&] { return lines(log).size() == 2; }));
    EXPECT_THAT(lines(log),
                UnorderedElementsAre("timerstartedfortiming uuid-1 timerstartedfortiming uuid-1",
                                     "timerstoppedfortiming uuid-1 timerstoppedfortiming uuid-1"));
    // A script that succeeds says nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    loop.runPending();
    EXPECT_TRUE(alerts.shownAlerts().empty());
}

TEST_F(UserScriptRunnerTest, LooksForTheScriptOnceAndOnlyForAnExecutableFile) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        bool installed;
    };
    const std::vector<Case> cases{
        {"missing", [] {}, false},
        {"not executable", [&] { writeScript("exit 0\n", 0644); }, false},
        {"a folder",
         [&] {
             std::filesystem::remove(script());
             std::filesystem::create_directories(script());
         },
         false},
        {"executable",
         [&] {
             std::filesystem::remove(script());
             writeScript("exit 0\n");
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        EXPECT_EQ(makeRunner()->isInstalled(), c.installed);
    }
    // The folder is made for the user when missing.
    EXPECT_TRUE(std::filesystem::is_directory(folder()));

    // A script installed after the runner was made is not called.
    std::filesystem::remove(script());
    auto runner = makeRunner();
    const auto log = directory / "late.log";
    writeScript("echo called >> '" + log.string() + "'\n");
    runner->send("timerStartedForTiming", "uuid-2");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(UserScriptRunnerTest, AFailingScriptShowsItsLastLinesOfStandardError) {
    writeScript("i=1\nwhile [ $i -le 14 ]; do echo \"line $i\" >&2; i=$((i+1)); done\nexit 3\n");
    auto runner = makeRunner();
    runner->send("timerStoppedForTiming", "uuid-3");
    runner->send("timerStoppedForTiming", "uuid-4");
    ASSERT_TRUE(waitUntil([&] { return alerts.shownAlerts().size() == 2; }));
    const Alert& alert = alerts.shownAlerts().front();
    EXPECT_EQ(alert.messageText, "User Script Error");
    EXPECT_EQ(alert.style, Alert::Style::Critical);
    EXPECT_EQ(alert.buttons, std::vector<std::string>{"Ok"});
    std::string expected;
    for (int i = 5; i <= 14; ++i)
        expected += (i > 5 ? "\n" : "") + ("line " + std::to_string(i));
    EXPECT_EQ(alert.informativeText, expected);
}

TEST_F(UserScriptRunnerTest, ASilentFailureOrAScriptThatCannotStartIsStillReported) {
    struct Case {
        const char* name;
        std::string body;
        std::string text;
    };
    const std::vector<Case> cases{
        {"exit status", "exit 7\n", "The user script exited with status 7."},
        {"signal", "kill -TERM $$\n", "The user script was ended by signal 15."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeScript(c.body);
        auto runner = makeRunner();
        const std::size_t before = alerts.shownAlerts().size();
        runner->send("timerStartedForTiming", "uuid");
        ASSERT_TRUE(waitUntil([&] { return alerts.shownAlerts().size() == before + 1; }));
        EXPECT_EQ(alerts.shownAlerts().back().informativeText, c.text);
    }
    // Found at start, gone before the call.
    writeScript("exit 0\n");
    auto runner = makeRunner();
    std::filesystem::remove(script());
    runner->send("timerStartedForTiming", "uuid");
    ASSERT_TRUE(waitUntil([&] {
        return !alerts.shownAlerts().empty() && alerts.shownAlerts().back().informativeText.find(
                                                    "could not be started") != std::string::npos;
    }));
}

}  // namespace
}  // namespace ravelong
