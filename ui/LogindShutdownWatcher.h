#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace ravelong {

// Power-off, reboot and logout notices from logind (org.freedesktop.login1 on the system bus).
//
// logind waits before a shutdown only for the "delay" inhibitors taken before it began, so the
// program holds one (what "shutdown", who "Ravelong", why "Stopping timers") while timers run:
// setHoldInhibitor(true) when the first timer starts, false when the last one stops. When
// PrepareForShutdown(true) arrives, shutdownStarting() is emitted; its handler stops or keeps the
// timers and saves, and then calls handled(), which releases the inhibitor so the shutdown goes
// on. A shutdown that was called off (PrepareForShutdown(false)) takes the inhibitor again if it
// is still wanted. Without a system bus or logind (containers, CI) nothing happens. Main thread.
class LogindShutdownWatcher final : public QObject {
    Q_OBJECT

public:
    explicit LogindShutdownWatcher(QObject* parent = nullptr);

    bool isConnected() const { return connected_; }
    void setHoldInhibitor(bool hold);
    bool holdsInhibitor() const { return inhibitor_.isValid(); }
    void handled();

signals:
    void shutdownStarting();

private slots:
    void prepareForShutdown(bool starting);

private:
    void takeInhibitor();

    bool connected_ = false;
    bool wanted_ = false;
    bool requesting_ = false;
    bool shuttingDown_ = false;
    QDBusUnixFileDescriptor inhibitor_;
};

}  // namespace ravelong
