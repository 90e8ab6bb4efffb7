#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace ravelong {

// Sleep and wake notices from logind (org.freedesktop.login1 PrepareForSleep).
//
// logind lets the machine sleep only after the "delay" inhibitors taken before it decided to
// have released, so while timers run the program holds one (what "sleep"): setHoldInhibitor(true)
// when the first timer starts, false when the last one stops. PrepareForSleep(true) emits
// goingToSleep(); its handlers (direct connections) stop or measure the timers and save, and
// when they return the inhibitor is released so the machine sleeps. PrepareForSleep(false)
// emits wokeUp() and takes the inhibitor again if it is still wanted. `bus` is the system bus in
// the program and a private bus in tests; without logind on it nothing happens. Main thread.
class LogindSleepWatcher final : public QObject {
    Q_OBJECT

public:
    explicit LogindSleepWatcher(QDBusConnection bus = QDBusConnection::systemBus(),
                                QObject* parent = nullptr);

    bool isConnected() const { return connected_; }
    void setHoldInhibitor(bool hold);
    bool holdsInhibitor() const { return inhibitor_.isValid(); }

signals:
    void goingToSleep();
    void wokeUp();

private slots:
    void prepareForSleep(bool starting);

private:
    void takeInhibitor();

    QDBusConnection bus_;
    bool connected_ = false;
    bool wanted_ = false;
    bool requesting_ = false;
    bool sleeping_ = false;
    QDBusUnixFileDescriptor inhibitor_;
};

}  // namespace ravelong
