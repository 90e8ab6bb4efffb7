#include "ui/SystemClockWatcher.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdint>
#include <limits>

#include "foundation/Log.h"

namespace ravelong {

SystemClockWatcher::SystemClockWatcher(QObject* parent) : QObject(parent) {
    fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0) {
        arm();
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &SystemClockWatcher::readClock);
    } else {
        logWarning("SystemClockWatcher", "no timerfd; changes of the clock go unnoticed");
    }
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
}

SystemClockWatcher::~SystemClockWatcher() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void SystemClockWatcher::arm() {
    // An expiry that never comes: the timer is only there to be cancelled by a clock change.
    itimerspec farFuture{};
    farFuture.it_value.tv_sec = std::numeric_limits<time_t>::max() / 2;
    if (::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &farFuture, nullptr) !=
        0)
        logWarning("SystemClockWatcher",
                   "cannot arm the timerfd; changes of the clock go unnoticed");
}

void SystemClockWatcher::readClock() {
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    if (n < 0 && errno == ECANCELED) {
        arm();
        emit clockChanged();
    }
}

void SystemClockWatcher::prepareForSleep(bool sleeping) {
    if (!sleeping)
        emit woke();
}

}  // namespace ravelong
