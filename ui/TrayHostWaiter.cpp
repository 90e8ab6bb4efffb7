#include "ui/TrayHostWaiter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusServiceWatcher>
#include <QVariant>

namespace ravelong {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
constexpr int kPollMilliseconds = 250;

}  // namespace

TrayHostWaiter::TrayHostWaiter(bool startedAtLogin, int limitMilliseconds, QObject* parent)
    : QObject(parent), startedAtLogin_(startedAtLogin), limitMilliseconds_(limitMilliseconds) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &TrayHostWaiter::finish);
    connect(&poll_, &QTimer::timeout, this, &TrayHostWaiter::check);
}

bool TrayHostWaiter::statusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kWatcherService).value())
        return false;
    QDBusInterface watcher(kWatcherService, kWatcherPath, kWatcherService, bus);
    watcher.setTimeout(1000);
    return watcher.property("IsStatusNotifierHostRegistered").toBool();
}

void TrayHostWaiter::start() {
    if (!startedAtLogin_ || !QDBusConnection::sessionBus().isConnected() ||
        statusNotifierHostPresent()) {
        QTimer::singleShot(0, this, &TrayHostWaiter::finish);
        return;
    }
    watcher_ = new QDBusServiceWatcher(kWatcherService, QDBusConnection::sessionBus(),
                                       QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWaiter::check);
    // The host registers with the watcher a moment after the watcher itself appears.
    poll_.start(kPollMilliseconds);
    deadline_.start(limitMilliseconds_);
}

void TrayHostWaiter::check() {
    if (statusNotifierHostPresent())
        finish();
}

void TrayHostWaiter::finish() {
    if (finished_)
        return;
    finished_ = true;
    poll_.stop();
    deadline_.stop();
    emit ready();
}

}  // namespace ravelong
