#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "ui/ReleechWindow.h"
#include "ui/TestCommandChannel.h"
#include "ui/TestWindows.h"
#include "ui/TimersRunningWindow.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using Kind = TestCommandChannel::Command::Kind;

// Arguments are trimmed; the panel commands split their two names at the first arrow.
TEST(TestCommandChannel, CommandsAndTheirArguments) {
    struct Case {
        const char* line;
        Kind kind;
        const char* argument = "";
        const char* secondArgument = "";
        int number = 0;
    };
    const Case cases[] = {
        {"click-task Write report  ", Kind::clickTask, "Write report"},
        {"answer-alert 1", Kind::answerAlert, "", "", 1},
        {"quit", Kind::quit},
        {"toggle-panel", Kind::togglePanel},
        {"add-task Write report", Kind::addTask, "Write report"},
        {"add-subtask Client A => Design => v2", Kind::addSubtask, "Client A", "Design => v2"},
        {"rename-task Old =>  New ", Kind::renameTask, "Old", "New"},
        {"undo", Kind::undo},
        {"add-timing Write report => 2026-12-01 09:00 1:30", Kind::addTiming, "Write report",
         "2026-12-01 09:00 1:30"},
        {"main-window-preset Last Week", Kind::mainWindowPreset, "Last Week"},
        {"delete-timing 3", Kind::deleteTiming, "", "", 3},
        {"main-window-chart pie", Kind::mainWindowChart, "pie"},
        {"main-window-chart bar", Kind::mainWindowChart, "bar"},
        {"main-window-chart line", Kind::mainWindowChart, "line"},
        {"preferences Sync", Kind::preferences, "Sync"},
        {"sync-now", Kind::syncNow},
        {"show-window  merge-conflict ", Kind::showWindow, "merge-conflict"},
        {"close-window idle", Kind::closeWindow, "idle"},
    };
    for (const Case& c : cases) {
        const auto command = TestCommandChannel::parse(QString::fromUtf8(c.line));
        ASSERT_TRUE(command) << c.line;
        EXPECT_EQ(command->kind, c.kind) << c.line;
        EXPECT_EQ(command->argument, QString::fromUtf8(c.argument)) << c.line;
        EXPECT_EQ(command->secondArgument, QString::fromUtf8(c.secondArgument)) << c.line;
        EXPECT_EQ(command->number, c.number) << c.line;
    }
}

TEST(TestCommandChannel, AnythingElseIsNoCommand) {
    for (const char* line : {"",
                             "click-task",
                             "click-task   ",
                             "quit now",
                             "answer-alert",
                             "answer-alert -1",
                             "answer-alert one",
                             "delete-everything",
                             "add-task",
                             "add-subtask A",
                             "add-subtask A =>",
                             "rename-task => B",
                             "undo twice",
                             "add-timing A",
                             "main-window-preset",
                             "delete-timing",
                             "delete-timing -1",
                             "delete-timing first",
                             "main-window-chart",
                             "main-window-chart donut",
                             "preferences",
                             "sync-now please",
                             "show-window",
                             "close-window  "}) {
        EXPECT_FALSE(TestCommandChannel::parse(line)) << line;
    }
}

// close-window finds the window of its name by its exact class: a window of another class that
// shares the base class stays open, and a window already closed is not closed again.
TEST(TestCommandChannel, CloseWindowClosesOnlyTheShownWindowOfItsName) {
    EXPECT_TRUE(TestWindows::names().contains(QStringLiteral("timers-running")));
    EXPECT_TRUE(TestWindows::names().contains(QStringLiteral("cloud-data")));
    ReleechWindow releech;
    releech.show();
    TimersRunningWindow timers;
    timers.setTexts(QStringLiteral("A timer is running."), QStringLiteral("Stop it?"));
    timers.show();
    EXPECT_FALSE(TestWindows::close(QStringLiteral("cloud-data")));
    EXPECT_TRUE(releech.isVisible());
    EXPECT_FALSE(TestWindows::close(QStringLiteral("no-such-window")));
    EXPECT_TRUE(TestWindows::close(QStringLiteral("timers-running")));
    EXPECT_FALSE(timers.isVisible());
    EXPECT_FALSE(TestWindows::close(QStringLiteral("timers-running")));
    EXPECT_TRUE(TestWindows::close(QStringLiteral("releech")));
    EXPECT_FALSE(releech.isVisible());
}

TEST(TestCommandChannel, LinesArriveWholeEvenWhenSplitAcrossReads) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto channel = std::make_unique<TestCommandChannel>(fds[0]);
    std::vector<QString> lines;
    QObject::connect(
        channel.get(), &TestCommandChannel::received,
        [&](const TestCommandChannel::Command&, const QString& line) { lines.push_back(line); });
    ASSERT_EQ(::write(fds[1], "click-task Wri", 14), 14);
    ui_testing::runFor(30);
    EXPECT_TRUE(lines.empty());
    ASSERT_EQ(::write(fds[1], "te report\nbogus\nquit\n", 21), 21);
    ASSERT_TRUE(ui_testing::runUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], "click-task Write report");
    EXPECT_EQ(lines[1], "quit");
    ::close(fds[1]);
    ui_testing::runFor(30);  // end of input is quietly accepted
    EXPECT_EQ(lines.size(), 2u);
    channel.reset();
    ::close(fds[0]);
}

}  // namespace
}  // namespace ravelong
