#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <optional>

#include "ui/PrivateBus.h"
#include "ui/SingleInstance.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::PrivateBus;

// HotKey on the program's single-instance object, as another client calls it; empty when the
// call failed.
std::optional<bool> callHotKey(QDBusConnection& bus, const QString& identifier) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("app.ravelong.Ravelong"), QStringLiteral("/app/ravelong/Ravelong"),
        QStringLiteral("app.ravelong.Ravelong"), QStringLiteral("HotKey"));
    call << identifier;
    const QDBusMessage reply = bus.call(call, QDBus::BlockWithGui, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply.arguments().front().toBool();
}

TEST(SingleInstance, RunsTheHotKeyActionsOtherClientsAskFor) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    PrivateBus bus;
    ASSERT_TRUE(bus.isUp());
    QDBusConnection program = bus.connect(QStringLiteral("program"));
    QDBusConnection client = bus.connect(QStringLiteral("client"));
    SingleInstance instance(program);
    ASSERT_EQ(instance.claim(), SingleInstance::Role::primary);

    // Before the store is open nothing handles them.
    EXPECT_EQ(callHotKey(client, QStringLiteral("AddNote")), false);
    QStringList asked;
    instance.setHotKeyHandler([&](const QString& identifier) {
        asked << identifier;
        return identifier != QStringLiteral("Unknown");
    });
    EXPECT_EQ(callHotKey(client, QStringLiteral("AddNote")), true);
    EXPECT_EQ(callHotKey(client, QStringLiteral("Unknown")), false);
    EXPECT_EQ(asked, (QStringList{"AddNote", "Unknown"}));

#ifdef RAVELONG_CLI_PATH
    // The command line reaches the same actions, one name for each hot key.
    auto cli = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(RAVELONG_CLI_PATH), arguments);
        EXPECT_TRUE(process.waitForStarted(5000));
        // The program answers on this thread: keep its events going while the command waits.
        EXPECT_TRUE(
            ui_testing::runUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        return process.exitCode();
    };
    asked.clear();
    const std::pair<const char*, const char*> actions[] = {
        {"toggle-timer", "ToggleTimer"},
        {"add-note", "AddNote"},
        {"toggle-panel", "ToggleMenuBarPanel"},
        {"toggle-timer-and-add-note", "ToggleTimerAndAddNote"},
        {"show-recent-tasks", "ShowRecentTasks"}};
    QStringList expected;
    for (const auto& [argument, identifier] : actions) {
        EXPECT_EQ(cli({QStringLiteral("hot-key"), QString::fromLatin1(argument)}), 0) << argument;
        expected << QString::fromLatin1(identifier);
    }
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(cli({QStringLiteral("hot-key"), QStringLiteral("toggle")}), 2);
    EXPECT_EQ(cli({QStringLiteral("hot-key")}), 2);
    EXPECT_EQ(asked.size(), 5) << "refused arguments ask nothing";
    // A refusal of the program is the command's failure.
    instance.setHotKeyHandler([](const QString&) { return false; });
    EXPECT_EQ(cli({QStringLiteral("hot-key"), QStringLiteral("add-note")}), 1);
#endif
}

TEST(SingleInstance, TheCommandSaysSoWhenRavelongIsNotRunning) {
#ifdef RAVELONG_CLI_PATH
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    PrivateBus bus;
    ASSERT_TRUE(bus.isUp());
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RAVELONG_CLI_PATH),
                  {QStringLiteral("hot-key"), QStringLiteral("add-note")});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(process.readAllStandardError().contains("not running"));
#else
    GTEST_SKIP() << "built without ravelong-cli";
#endif
}

}  // namespace
}  // namespace ravelong
