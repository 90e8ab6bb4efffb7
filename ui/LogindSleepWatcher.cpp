#include "ui/LogindSleepWatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include "foundation/Log.h"

namespace ravelong {

LogindSleepWatcher::LogindSleepWatcher(QObject* parent) : QObject(parent) {
    const QString service = QStringLiteral("org.freedesktop.login1");
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(service).value()) {
        logInfo("LogindSleepWatcher", "no logind on the system bus; sleep notices are off");
        return;
    }
    connected_ = bus.connect(service, QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"),
                             QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
}

void LogindSleepWatcher::prepareForSleep(bool sleeping) {
    if (sleeping)
        emit goingToSleep();
    else
        emit wokeUp();
}

}  // namespace ravelong
