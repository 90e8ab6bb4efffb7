#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <optional>

namespace ravelong {

// Commands on standard input, for the end-to-end tests only: enabled when the environment
// variable RAVELONG_TEST_COMMANDS is "1", otherwise standard input is never read. One command a
// line:
//
//   click-task <task name>   what a mouse click on that row of the task panel does
//   toggle-panel             what a click on the tray icon does
//   answer-alert <n>         presses button n (0 = first) of the alert on screen
//   add-task <name>          the panel's add control, then the name typed and Return
//   add-subtask <parent> => <name>   "Add Subtask" on the parent's row, then the name
//   rename-task <old> => <new>       a double click on the name, the new name and Return
//   main-window-chart pie|bar|line   the main window's charts tab with that chart
//   undo                     Ctrl+Z in the panel
//   preferences <pane>       "Preferences..." in the tray menu, then the pane's tab ("Sync")
//   sync-now                 "Sync Now" in the Sync pane of the open preferences
//   show-window <name>       opens that window as the program does (ui/TestWindows.h)
//   close-window <name>      closes it as its title bar's close button does
//   quit                     what "Quit Ravelong" in the tray menu does
//
// Each is carried out by the same slot the mouse would reach. Lines are read as they arrive,
// also while an alert waits for an answer. With RAVELONG_REPORT_MILESTONES set, each command is
// acknowledged on stdout ("command-done <line>" or "command-failed <line>"). Main thread only.
class TestCommandChannel final : public QObject {
    Q_OBJECT

public:
    struct Command {
        enum class Kind {
            clickTask,
            togglePanel,
            answerAlert,
            quit,
            addTask,
            addSubtask,
            renameTask,
            undo,
            mainWindowPreset,  // argument: the interval selector's entry
            addTiming,         // argument: task; second: "yyyy-MM-dd HH:mm <duration>"
            deleteTiming,      // number: the row of the timed entries list
            mainWindowChart,   // argument: "pie", "bar" or "line"
            preferences,       // argument: the pane's title
            syncNow,
            showWindow,  // argument: the window's name
            closeWindow
        };
        Kind kind;
        QString argument;
        int number = 0;
        QString secondArgument;  // after " => "
    };

    // nullopt for a line that is not a command.
    static std::optional<Command> parse(const QString& line);
    static bool enabledByEnvironment();

    // Reads from `fd` (standard input in the program).
    explicit TestCommandChannel(int fd, QObject* parent = nullptr);

    // Called back by the receiver of received() with the outcome.
    static void acknowledge(const QString& line, bool done);

signals:
    void received(const ravelong::TestCommandChannel::Command& command, const QString& line);

private:
    void readAvailable();

    int fd_;
    QByteArray pending_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ravelong
