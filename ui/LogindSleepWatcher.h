#pragma once

#include <QObject>

namespace ravelong {

// Sleep and wake notices from logind (PrepareForSleep on org.freedesktop.login1, system bus):
// goingToSleep() before the machine sleeps, wokeUp() after it woke. The tray item records the
// instants for the stack menu's "last system sleep" and "last system wake" entries. Without a
// system bus or logind nothing is emitted. Main thread.
class LogindSleepWatcher final : public QObject {
    Q_OBJECT

public:
    explicit LogindSleepWatcher(QObject* parent = nullptr);
    bool isConnected() const { return connected_; }

signals:
    void goingToSleep();
    void wokeUp();

private slots:
    void prepareForSleep(bool sleeping);

private:
    bool connected_ = false;
};

}  // namespace ravelong
