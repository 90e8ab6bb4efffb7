#include "ui/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "foundation/Log.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace ravelong {

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::SingleInstance(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), bus_(bus) {}

SingleInstance::~SingleInstance() {
    if (registered_) {
        QDBusConnection& bus = this->bus();
        bus.unregisterService(qt(ui_texts::kBusName));
        bus.unregisterObject(qt(ui_texts::kBusPath));
    }
}

SingleInstance::Role SingleInstance::claim() {
    QDBusConnection& bus = this->bus();
    if (!bus.isConnected()) {
        logWarning("SingleInstance", "no session bus; running without the single-instance check");
        return Role::primary;
    }
    // The object first: whoever sees the name owned can call it at once.
    bus.registerObject(qt(ui_texts::kBusPath), this, QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(qt(ui_texts::kBusName))) {
        registered_ = true;
        return Role::primary;
    }
    bus.unregisterObject(qt(ui_texts::kBusPath));

    QDBusMessage call =
        QDBusMessage::createMethodCall(qt(ui_texts::kBusName), qt(ui_texts::kBusPath),
                                       qt(ui_texts::kBusInterface), QStringLiteral("Activate"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        logError("SingleInstance", "Ravelong is already running but did not answer: " +
                                       reply.errorMessage().toStdString());
        return Role::activateFailed;
    }
    return Role::secondary;
}

void SingleInstance::Activate() {
    emit activateRequested();
}

QDBusConnection& SingleInstance::bus() {
    if (!bus_)
        bus_ = QDBusConnection::sessionBus();
    return *bus_;
}

bool SingleInstance::HotKey(const QString& identifier) {
    return hotKeyHandler_ && hotKeyHandler_(identifier);
}

}  // namespace ravelong
