#include "ui/DesktopIdleTimeSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "foundation/Log.h"
#include "platform/XScreenSaverIdleTime.h"

namespace ravelong {

namespace {

const QString kMutterService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kMutterPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/ScreenSaver");
// A monitor that takes longer than this is treated as absent for this question.
constexpr int kCallTimeoutMs = 2000;

}  // namespace

DesktopIdleTimeSource::DesktopIdleTimeSource(QDBusConnection bus,
                                             std::unique_ptr<XScreenSaverIdleTime> x11,
                                             QObject* parent)
    : QObject(parent), bus_(std::move(bus)), x11_(std::move(x11)) {}

DesktopIdleTimeSource::~DesktopIdleTimeSource() = default;

double DesktopIdleTimeSource::secondsSinceLastEvent(IdleEventKind) {
    const double known = seconds_;
    refresh();
    return known;
}

void DesktopIdleTimeSource::refresh() {
    if (refreshing_)
        return;
    refreshing_ = true;
    if (!mutterFailed_ && bus_.isConnected())
        ask(Backend::mutter);
    else if (!screenSaverFailed_ && bus_.isConnected())
        ask(Backend::screenSaver);
    else
        ask(Backend::x11);
}

void DesktopIdleTimeSource::ask(Backend backend) {
    if (backend == Backend::x11 || backend == Backend::none) {
        std::optional<double> seconds = x11_ ? x11_->idleSeconds() : std::nullopt;
        if (seconds)
            answer(Backend::x11, *seconds);
        else
            failed(Backend::x11);
        return;
    }
    const bool mutter = backend == Backend::mutter;
    QDBusMessage call =
        mutter ? QDBusMessage::createMethodCall(kMutterService, kMutterPath, kMutterService,
                                                QStringLiteral("GetIdletime"))
               : QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                kScreenSaverService,
                                                QStringLiteral("GetSessionIdleTime"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, backend, mutter] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
            failed(backend);
            return;
        }
        bool ok = false;
        const qulonglong milliseconds = reply.arguments().at(0).toULongLong(&ok);
        const QMetaType type = reply.arguments().at(0).metaType();
        const bool rightType =
            mutter ? type.id() == QMetaType::ULongLong : type.id() == QMetaType::UInt;
        if (!ok || !rightType) {
            logWarning("idle time",
                       "the desktop's idle monitor gave an answer of the "
                       "wrong type; it is not asked again");
            failed(backend);
            return;
        }
        answer(backend, static_cast<double>(milliseconds) / 1000.0);
    });
}

void DesktopIdleTimeSource::answer(Backend backend, double seconds) {
    refreshing_ = false;
    answeredBy_ = backend;
    seconds_ = seconds;
    emit refreshed(seconds);
}

void DesktopIdleTimeSource::failed(Backend backend) {
    switch (backend) {
        case Backend::mutter:
            mutterFailed_ = true;
            ask(Backend::screenSaver);
            return;
        case Backend::screenSaver:
            screenSaverFailed_ = true;
            ask(Backend::x11);
            return;
        default:
            refreshing_ = false;
            answeredBy_ = Backend::none;
            return;
    }
}

}  // namespace ravelong
