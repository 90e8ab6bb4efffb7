#include "ui/LogindSleepWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "foundation/Log.h"
#include "ui/IdleUiTexts.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

LogindSleepWatcher::LogindSleepWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected() || !bus_.interface() ||
        !bus_.interface()->isServiceRegistered(kService).value()) {
        logInfo("LogindSleepWatcher", "no logind on the system bus; sleep notices are off");
        return;
    }
    connected_ = bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                              SLOT(prepareForSleep(bool)));
}

void LogindSleepWatcher::setHoldInhibitor(bool hold) {
    wanted_ = hold;
    if (!connected_ || sleeping_)
        return;
    if (hold && !inhibitor_.isValid())
        takeInhibitor();
    else if (!hold && inhibitor_.isValid())
        inhibitor_ = QDBusUnixFileDescriptor();  // closing the descriptor ends the inhibitor
}

void LogindSleepWatcher::takeInhibitor() {
    if (requesting_)
        return;
    requesting_ = true;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << qt(idle_ui_texts::kSleepInhibitWhat) << qt(ui_texts::kInhibitWho)
         << qt(idle_ui_texts::kSleepInhibitWhy) << qt(ui_texts::kInhibitMode);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                requesting_ = false;
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                if (reply.isError()) {
                    logWarning("LogindSleepWatcher",
                               "no sleep delay: " + reply.error().message().toStdString());
                    return;
                }
                if (wanted_ && !sleeping_)
                    inhibitor_ = reply.value();
            });
}

void LogindSleepWatcher::prepareForSleep(bool starting) {
    if (!starting) {
        sleeping_ = false;
        emit wokeUp();
        setHoldInhibitor(wanted_);
        return;
    }
    sleeping_ = true;
    emit goingToSleep();
    inhibitor_ = QDBusUnixFileDescriptor();  // handled: the machine may sleep now
}

}  // namespace ravelong
