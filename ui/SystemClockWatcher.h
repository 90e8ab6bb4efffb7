#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace ravelong {

// Tells when the wall clock was set (by the user, NTP stepping it, a time server after a long
// sleep) and when the machine woke from sleep: timers measured on the monotonic clock, such as
// the one for the start of the next day, must then be set again. The clock is watched with a
// Linux timerfd that is cancelled when the realtime clock is set; waking is logind's
// PrepareForSleep(false) on the system bus. Without either (no timerfd, no logind) that signal
// never comes. Main thread only.
class SystemClockWatcher final : public QObject {
    Q_OBJECT

public:
    explicit SystemClockWatcher(QObject* parent = nullptr);
    ~SystemClockWatcher() override;

signals:
    void clockChanged();
    void woke();

private slots:
    void prepareForSleep(bool sleeping);

private:
    void arm();
    void readClock();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ravelong
