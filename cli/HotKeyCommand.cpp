#include <array>
#include <ostream>
#include <string_view>

#include "cli/CliCommand.h"
#include "cli/TaskReference.h"

#ifdef RAVELONG_CLI_DBUS
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#endif

namespace ravelong::cli {
namespace {

constexpr const char* kUsage =
    "Usage: ravelong-cli hot-key ACTION\n"
    "Does what a global hot key does, for desktops where Ravelong cannot register its keys:\n"
    "bind this command in the desktop's keyboard settings instead. ACTION is one of\n"
    "  toggle-timer               start or stop the timer of the tray item's task\n"
    "  add-note                   open the add-note panel\n"
    "  toggle-panel               show or hide the task list\n"
    "  toggle-timer-and-add-note  toggle the last changed task, then the note panel\n"
    "  show-recent-tasks          open the tray item's menu of recent tasks\n"
    "Ravelong must be running.\n"
    "Exit status: 0 done, 1 Ravelong not running or not able to, 2 wrong arguments.\n";

struct Action {
    std::string_view argument;
    const char* identifier;  // what the program's hot-key registration calls it
};

constexpr std::array<Action, 5> kActions = {{{"toggle-timer", "ToggleTimer"},
                                             {"add-note", "AddNote"},
                                             {"toggle-panel", "ToggleMenuBarPanel"},
                                             {"toggle-timer-and-add-note", "ToggleTimerAndAddNote"},
                                             {"show-recent-tasks", "ShowRecentTasks"}}};

// The single-instance object of the running program (ui/SingleInstance).
constexpr const char* kService = "app.ravelong.Ravelong";
constexpr const char* kPath = "/app/ravelong/Ravelong";
constexpr const char* kInterface = "app.ravelong.Ravelong";

int run(CliInvocation& invocation) {
    if (wantsHelp(invocation.arguments)) {
        invocation.out << kUsage;
        return kExitSuccess;
    }
    const Action* action = nullptr;
    if (invocation.arguments.size() == 1)
        for (const Action& candidate : kActions)
            if (candidate.argument == invocation.arguments.front())
                action = &candidate;
    if (!action) {
        invocation.err << kUsage;
        return kExitUsage;
    }
#ifdef RAVELONG_CLI_DBUS
    // Qt's bus needs an application object; it stays for the rest of the (short) run, as the
    // bus connection does.
    static int argc = 1;
    static char name[] = "ravelong-cli";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("HotKey"));
    call << QString::fromLatin1(action->identifier);
    const QDBusMessage reply =
        bus.isConnected() ? bus.call(call, QDBus::Block, 10000) : QDBusMessage();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        invocation.err << "ravelong-cli: Ravelong is not running; start it to use its hot keys"
                       << (reply.errorMessage().isEmpty()
                               ? std::string(".")
                               : " (" + reply.errorMessage().toStdString() + ").")
                       << '\n';
        return kExitFailure;
    }
    if (reply.arguments().isEmpty() || !reply.arguments().front().toBool()) {
        invocation.err << "ravelong-cli: Ravelong could not do that now (its store is not open "
                          "yet).\n";
        return kExitFailure;
    }
    return kExitSuccess;
#else
    invocation.err << "ravelong-cli: this build cannot reach the running Ravelong.\n";
    return kExitFailure;
#endif
}

const bool registered =
    registerCommand({"hot-key", "ACTION", "Do what a global hot key does (Ravelong running)", run});

}  // namespace
}  // namespace ravelong::cli
