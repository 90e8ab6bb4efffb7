#pragma once

#include <QObject>
#include <QTimer>

class QDBusServiceWatcher;

namespace ravelong {

// Waits, at login, for the panel that will host the tray icon.
//
// Qt decides only once per process whether the desktop hosts StatusNotifierItems (asked on the
// first tray icon or availability check), so a tray icon made before the host is up stays
// invisible for the whole session. When the desktop session itself started the program, this
// waits for org.kde.StatusNotifierWatcher to appear on the session bus and for it to report a
// registered host, for at most `limitMilliseconds`; then ready() is emitted, and the tray can be
// made. Started by the user (or without a session bus), ready() follows at once, on the next
// turn of the event loop. Nothing here asks Qt about the tray. Main thread only.
class TrayHostWaiter final : public QObject {
    Q_OBJECT

public:
    TrayHostWaiter(bool startedAtLogin, int limitMilliseconds, QObject* parent = nullptr);
    void start();

    // Whether a StatusNotifierItem host is there now (a watcher with a registered host).
    static bool statusNotifierHostPresent();

signals:
    void ready();

private:
    void check();
    void finish();

    bool startedAtLogin_;
    int limitMilliseconds_;
    bool finished_ = false;
    QTimer deadline_;
    QTimer poll_;
    QDBusServiceWatcher* watcher_ = nullptr;
};

}  // namespace ravelong
