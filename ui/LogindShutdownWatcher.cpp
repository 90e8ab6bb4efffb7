#include "ui/LogindShutdownWatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "foundation/Log.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

LogindShutdownWatcher::LogindShutdownWatcher(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value()) {
        logInfo("LogindShutdownWatcher", "no logind on the system bus; shutdown notices are off");
        return;
    }
    connected_ = bus.connect(kService, kPath, kManager, QStringLiteral("PrepareForShutdown"), this,
                             SLOT(prepareForShutdown(bool)));
}

void LogindShutdownWatcher::setHoldInhibitor(bool hold) {
    wanted_ = hold;
    if (!connected_ || shuttingDown_)
        return;
    if (hold && !inhibitor_.isValid())
        takeInhibitor();
    else if (!hold && inhibitor_.isValid())
        inhibitor_ = QDBusUnixFileDescriptor();  // closing the descriptor ends the inhibitor
}

void LogindShutdownWatcher::takeInhibitor() {
    if (requesting_)
        return;
    requesting_ = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << qt(ui_texts::kInhibitWhat) << qt(ui_texts::kInhibitWho) << qt(ui_texts::kInhibitWhy)
         << qt(ui_texts::kInhibitMode);
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                requesting_ = false;
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                if (reply.isError()) {
                    logWarning("LogindShutdownWatcher",
                               "no shutdown delay: " + reply.error().message().toStdString());
                    return;
                }
                // The wish may have changed while logind answered.
                if (wanted_ && !shuttingDown_)
                    inhibitor_ = reply.value();
            });
}

void LogindShutdownWatcher::prepareForShutdown(bool starting) {
    if (!starting) {
        shuttingDown_ = false;
        setHoldInhibitor(wanted_);
        return;
    }
    shuttingDown_ = true;
    emit shutdownStarting();
}

void LogindShutdownWatcher::handled() {
    inhibitor_ = QDBusUnixFileDescriptor();
}

}  // namespace ravelong
