#include "ui/PortalHotKeyService.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

#include "foundation/Log.h"
#include "menubar/HotKeyCombination.h"

namespace ravelong {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
constexpr int kProbeTimeoutMs = 1500;

// What each action is called in the desktop's shortcut dialog.
QString describe(const std::string& identifier) {
    if (identifier == "ToggleTimer")
        return QStringLiteral("Start or stop the timer");
    if (identifier == "AddNote")
        return QStringLiteral("Add a note to the timing");
    if (identifier == "ToggleMenuBarPanel")
        return QStringLiteral("Show or hide the task list");
    if (identifier == "ToggleTimerAndAddNote")
        return QStringLiteral("Start or stop the timer and add a note");
    if (identifier == "ShowRecentTasks")
        return QStringLiteral("Show the recent tasks");
    return QString::fromStdString(identifier);
}

}  // namespace

// One shortcut as the portal takes it: (sa{sv}).
struct PortalShortcut {
    QString identifier;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.identifier << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.identifier >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace ravelong

Q_DECLARE_METATYPE(ravelong::PortalShortcut)

namespace ravelong {

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!bus_.isConnected()) {
        available_ = false;
        return;
    }
    // Asked without waiting: until the portal answers, it counts as there.
    QDBusMessage probe = QDBusMessage::createMethodCall(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    probe << kInterface << QStringLiteral("version");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(probe, kProbeTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        probed_ = true;
        if (!w->isError())
            return;
        available_ = false;
        fail("the desktop portal offers no global shortcuts");
    });
    if (!bus_.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusMessage))))
        logWarning("PortalHotKeyService", "cannot listen for shortcut activations");
}

PortalHotKeyService::~PortalHotKeyService() {
    unwatchRequest();
    if (!session_.isEmpty())
        bus_.asyncCall(
            QDBusMessage::createMethodCall(kService, session_, kSession, QStringLiteral("Close")));
}

Status PortalHotKeyService::registerHotKey(std::string_view identifier,
                                           const HotKeyCombination& combination) {
    if (!available_)
        return Error{kRavelongErrorDomain, 1, "The shortcut cannot be registered.",
                     "The desktop portal offers no global shortcuts."};
    shortcuts_[std::string(identifier)] = combination;
    scheduleRebind();
    return {};
}

void PortalHotKeyService::unregisterHotKey(std::string_view identifier) {
    const auto found = shortcuts_.find(identifier);
    if (found == shortcuts_.end())
        return;
    shortcuts_.erase(found);
    triggers_.erase(std::string(identifier));
    scheduleRebind();
}

std::string PortalHotKeyService::triggerDescription(std::string_view identifier) const {
    const auto found = triggers_.find(identifier);
    return found == triggers_.end() ? std::string() : found->second;
}

void PortalHotKeyService::scheduleRebind() {
    bound_ = false;
    if (rebindScheduled_)
        return;
    rebindScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        rebindScheduled_ = false;
        rebind();
    });
}

QString PortalHotKeyService::requestPath(const QString& token) const {
    QString sender = bus_.baseService();
    sender.remove(0, 1);  // the leading ':'
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

void PortalHotKeyService::watchRequest(const QString& path, const char* slot) {
    unwatchRequest();
    watchedRequest_ = path;
    watchedSlot_ = slot;
    bus_.connect(kService, path, kRequest, QStringLiteral("Response"), this, slot);
}

void PortalHotKeyService::unwatchRequest() {
    if (watchedRequest_.isEmpty())
        return;
    bus_.disconnect(kService, watchedRequest_, kRequest, QStringLiteral("Response"), this,
                    watchedSlot_);
    watchedRequest_.clear();
}

void PortalHotKeyService::fail(const std::string& what) {
    lastError_ = what;
    logWarning("PortalHotKeyService", what);
}

void PortalHotKeyService::rebind() {
    // A new set needs a new session: the portal binds once per session.
    if (!session_.isEmpty()) {
        bus_.asyncCall(
            QDBusMessage::createMethodCall(kService, session_, kSession, QStringLiteral("Close")));
        session_.clear();
    }
    triggers_.clear();
    if (shortcuts_.empty()) {
        unwatchRequest();
        return;
    }
    ++generation_;
    const QString token = QStringLiteral("ravelong_create_%1").arg(generation_);
    watchRequest(requestPath(token), SLOT(createSessionResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{
        {QStringLiteral("handle_token"), token},
        {QStringLiteral("session_handle_token"), QStringLiteral("ravelong_%1").arg(generation_)}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError())
            fail("the portal refused a shortcut session: " + reply.error().message().toStdString());
    });
}

void PortalHotKeyService::createSessionResponse(uint response, const QVariantMap& results) {
    unwatchRequest();
    if (response != 0) {
        fail("the portal did not open a shortcut session");
        return;
    }
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    // Older portals give the handle as a string, newer ones as an object path.
    session_ = handle.canConvert<QDBusObjectPath>() && handle.metaType().id() != QMetaType::QString
                   ? handle.value<QDBusObjectPath>().path()
                   : handle.toString();
    if (session_.isEmpty()) {
        fail("the portal answered without a session");
        return;
    }
    QList<PortalShortcut> shortcuts;
    for (const auto& [identifier, combination] : shortcuts_) {
        QVariantMap properties{{QStringLiteral("description"), describe(identifier)}};
        const std::string trigger = combination.portalTriggerText();
        if (!trigger.empty())
            properties.insert(QStringLiteral("preferred_trigger"), QString::fromStdString(trigger));
        shortcuts.push_back(PortalShortcut{QString::fromStdString(identifier), properties});
    }
    const QString token = QStringLiteral("ravelong_bind_%1").arg(generation_);
    watchRequest(requestPath(token), SLOT(bindResponse(uint, QVariantMap)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariant::fromValue(shortcuts)
         << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError())
            fail("the portal refused the shortcuts: " + reply.error().message().toStdString());
    });
}

void PortalHotKeyService::bindResponse(uint response, const QVariantMap& results) {
    unwatchRequest();
    if (response != 0) {
        fail("the shortcuts were not bound (cancelled or refused by the desktop)");
        return;
    }
    bound_ = true;
    lastError_.clear();
    const QVariant value = results.value(QStringLiteral("shortcuts"));
    if (!value.canConvert<QDBusArgument>())
        return;
    QList<PortalShortcut> bound;
    value.value<QDBusArgument>() >> bound;
    for (const PortalShortcut& shortcut : bound)
        triggers_[shortcut.identifier.toStdString()] =
            shortcut.properties.value(QStringLiteral("trigger_description"))
                .toString()
                .toStdString();
}

void PortalHotKeyService::activated(const QDBusMessage& message) {
    // (o session, s shortcut, t timestamp, a{sv} options); anything else is not ours to read.
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2 || !handler_)
        return;
    const QString session = arguments.at(0).value<QDBusObjectPath>().path();
    if (session.isEmpty() || session != session_)
        return;
    const std::string id = arguments.at(1).toString().toStdString();
    if (shortcuts_.count(id))
        handler_(id);
}

}  // namespace ravelong
