#pragma once

#include <QObject>
#include <memory>

#include "ui/TestCommandChannel.h"

class QApplication;

namespace ravelong {

// The tray program from start to exit, on a QApplication made by main(): installs the main
// loop, the device identity, the alert presenter and the sound; makes sure one program runs per
// session; writes the start settings; runs the launch of the application delegate; makes the
// tray item once its host is there; follows changes of the locale and, unless TZ is set, of the
// machine's time zone (ui/TimeZoneWatcher.h); and turns SIGTERM/SIGINT, logind's shutdown notice
// and the session manager's logout into the shutdown path of the delegate.
//
// Signals and shutdown notices that arrive while the launch is still running are acted on as
// soon as the launch has finished; an alert of the launch that waits for an answer then gets the
// answer Escape gives (for the crash question: "Cancel", which leaves the timer running), so the
// program does not hang on a question nobody is there to answer.
//
// Environment: RAVELONG_REPORT_MILESTONES (ui/MilestoneReport.h) and RAVELONG_TEST_COMMANDS
// (ui/TestCommandChannel.h) for tests; DESKTOP_AUTOSTART_ID and the systemd autostart unit tell
// that the session started the program (platform/SessionAutostart.h), which makes the tray item
// wait up to kTrayHostWaitMilliseconds for the tray host.
class RavelongProgram final : public QObject {
    Q_OBJECT

public:
    explicit RavelongProgram(QApplication& application);
    ~RavelongProgram() override;

    // The process's exit code: 0 after a normal quit and for a second start that handed over
    // to the running program, non-zero when the launch failed.
    int run();

    static constexpr int kTrayHostWaitMilliseconds = 5000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Parts;
    void sessionEnding();
    // After the launch: synchronisation from the stored choice, with its triggers.
    void startSync();
    // The locale or the machine's time zone changed: the user's calendar is read again.
    void calendarSettingsChanged();
    // After the event loop: closes the store files and leaves the records to the process exit.
    void closeStoreForExit();
    // A test command that works the task panel; false when it could not be carried out.
    bool panelCommand(const TestCommandChannel::Command& command);
    bool mainWindowCommand(const TestCommandChannel::Command& command);
    bool preferencesCommand(const TestCommandChannel::Command& command);

    QApplication& application_;
    std::unique_ptr<Parts> parts_;
    bool launched_ = false;
    bool sessionEndPending_ = false;
};

}  // namespace ravelong
