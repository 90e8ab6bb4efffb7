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

TEST(TestCommandChannel, CommandsAndTheirArguments) {
    auto click = TestCommandChannel::parse("click-task Write report  ");
    ASSERT_TRUE(click);
    EXPECT_EQ(click->kind, Kind::clickTask);
    EXPECT_EQ(click->argument, "Write report");

    auto answer = TestCommandChannel::parse("answer-alert 1");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->kind, Kind::answerAlert);
    EXPECT_EQ(answer->number, 1);

    EXPECT_EQ(TestCommandChannel::parse("quit")->kind, Kind::quit);
    EXPECT_EQ(TestCommandChannel::parse("toggle-panel")->kind, Kind::togglePanel);
}

TEST(TestCommandChannel, PanelCommandsSplitTheirTwoNamesAtTheArrow) {
    auto add = TestCommandChannel::parse("add-task Write report");
    ASSERT_TRUE(add);
    EXPECT_EQ(add->kind, Kind::addTask);
    EXPECT_EQ(add->argument, "Write report");
    auto sub = TestCommandChannel::parse("add-subtask Client A => Design => v2");
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->kind, Kind::addSubtask);
    EXPECT_EQ(sub->argument, "Client A");
    EXPECT_EQ(sub->secondArgument, "Design => v2");
    auto rename = TestCommandChannel::parse("rename-task Old =>  New ");
    ASSERT_TRUE(rename);
    EXPECT_EQ(rename->kind, Kind::renameTask);
    EXPECT_EQ(rename->secondArgument, "New");
    EXPECT_EQ(TestCommandChannel::parse("undo")->kind, Kind::undo);
    auto timing = TestCommandChannel::parse("add-timing Write report => 2026-12-01 09:00 1:30");
    ASSERT_TRUE(timing);
    EXPECT_EQ(timing->kind, Kind::addTiming);
    EXPECT_EQ(timing->argument, "Write report");
    EXPECT_EQ(timing->secondArgument, "2026-12-01 09:00 1:30");
    auto preset = TestCommandChannel::parse("main-window-preset Last Week");
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->kind, Kind::mainWindowPreset);
    EXPECT_EQ(preset->argument, "Last Week");
    auto remove = TestCommandChannel::parse("delete-timing 3");
    ASSERT_TRUE(remove);
    EXPECT_EQ(remove->kind, Kind::deleteTiming);
    EXPECT_EQ(remove->number, 3);
    for (const char* kind : {"pie", "bar", "line"}) {
        auto chart = TestCommandChannel::parse(QStringLiteral("main-window-chart ") + kind);
        ASSERT_TRUE(chart) << kind;
        EXPECT_EQ(chart->kind, Kind::mainWindowChart);
        EXPECT_EQ(chart->argument, kind);
    }
    auto preferences = TestCommandChannel::parse("preferences Sync");
    ASSERT_TRUE(preferences);
    EXPECT_EQ(preferences->kind, Kind::preferences);
    EXPECT_EQ(preferences->argument, "Sync");
    EXPECT_EQ(TestCommandChannel::parse("sync-now")->kind, Kind::syncNow);
    auto show = TestCommandChannel::parse("show-window  merge-conflict ");
    ASSERT_TRUE(show);
    EXPECT_EQ(show->kind, Kind::showWindow);
    EXPECT_EQ(show->argument, "merge-conflict");
    auto close = TestCommandChannel::parse("close-window idle");
    ASSERT_TRUE(close);
    EXPECT_EQ(close->kind, Kind::closeWindow);
    EXPECT_EQ(close->argument, "idle");
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
