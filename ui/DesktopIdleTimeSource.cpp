#include "ui/DesktopIdleTimeSource.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSocketNotifier>

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
                                             std::unique_ptr<WaylandIdleTime> wayland,
                                             QObject* parent)
    : QObject(parent), bus_(std::move(bus)), x11_(std::move(x11)), wayland_(std::move(wayland)) {
    if (wayland_) {
        // The compositor's events are read as they come, so the idle time is known at once
        // when asked.
        waylandNotifier_ = new QSocketNotifier(wayland_->fd(), QSocketNotifier::Read, this);
        connect(waylandNotifier_, &QSocketNotifier::activated, this,
                &DesktopIdleTimeSource::readWayland);
    }
}

DesktopIdleTimeSource::~DesktopIdleTimeSource() = default;

double DesktopIdleTimeSource::secondsSinceLastEvent(IdleEventKind) {
    const double known = seconds_;
    refresh();
    // The local sources (the compositor's events, the X server) have answered within
    // refresh(), and that answer is fresher than the one kept.
    return refreshing_ ? known : seconds_;
}

void DesktopIdleTimeSource::refresh() {
    if (refreshing_)
        return;
    refreshing_ = true;
    askFrom(Backend::mutter);
}

bool DesktopIdleTimeSource::usable(Backend backend) const {
    switch (backend) {
        case Backend::mutter:
            return !mutterFailed_ && bus_.isConnected();
        case Backend::wayland:
            return wayland_ && !waylandFailed_;
        case Backend::screenSaver:
            return !screenSaverFailed_ && bus_.isConnected();
        case Backend::x11:
            return x11_ != nullptr;
        case Backend::none:
            break;
    }
    return false;
}

void DesktopIdleTimeSource::askFrom(Backend first) {
    for (Backend backend :
         {Backend::mutter, Backend::wayland, Backend::screenSaver, Backend::x11}) {
        if (backend >= first && usable(backend)) {
            ask(backend);
            return;
        }
    }
    nothingKnown();
}

void DesktopIdleTimeSource::nothingKnown() {
    // The last answer came from a source that is gone: repeated, it would say the user has
    // stayed away ever since.
    refreshing_ = false;
    answeredBy_ = Backend::none;
    seconds_ = 0.0;
}

void DesktopIdleTimeSource::readWayland() {
    if (wayland_ && !wayland_->dispatch()) {
        logWarning("idle time",
                   "the connection to the Wayland compositor's idle notifications was lost");
        waylandNotifier_->setEnabled(false);
        waylandFailed_ = true;
    }
}

void DesktopIdleTimeSource::ask(Backend backend) {
    if (backend == Backend::x11 || backend == Backend::wayland) {
        if (backend == Backend::wayland)
            readWayland();  // events the socket notifier has not passed on yet
        std::optional<double> seconds =
            backend == Backend::x11 ? x11_->idleSeconds() : wayland_->idleSeconds();
        if (seconds)
            answer(backend, *seconds);
        else
            failed(backend);
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
            askFrom(Backend::wayland);
            return;
        case Backend::wayland:
            waylandFailed_ = true;
            askFrom(Backend::screenSaver);
            return;
        case Backend::screenSaver:
            screenSaverFailed_ = true;
            askFrom(Backend::x11);
            return;
        default:
            nothingKnown();
            return;
    }
}

}  // namespace ravelong
