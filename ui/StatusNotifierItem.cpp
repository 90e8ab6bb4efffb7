#include "ui/StatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <atomic>

#include "foundation/Log.h"
#include "ui/StatusNotifierItemAdaptor.h"

namespace ravelong {

namespace {

std::atomic<int> itemCount{0};

}  // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection connection, QString id, QObject* parent)
    : QObject(parent), connection_(std::move(connection)), id_(std::move(id)) {
    registerStatusNotifierTypes();
    adaptor_ = new StatusNotifierItemAdaptor(this);
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                       .arg(QCoreApplication::applicationPid())
                       .arg(++itemCount);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (registered_) {
        connection_.unregisterObject(QLatin1String(kObjectPath));
        connection_.unregisterService(serviceName_);
    }
}

bool StatusNotifierItem::watcherAvailable(const QDBusConnection& connection) {
    if (!connection.isConnected() || !connection.interface())
        return false;
    return connection.interface()->isServiceRegistered(QLatin1String(kWatcherService)).value();
}

bool StatusNotifierItem::registerItem() {
    if (!connection_.isConnected()) {
        error_ = QStringLiteral("no session bus");
        return false;
    }
    if (!registered_) {
        if (!connection_.registerService(serviceName_)) {
            error_ = connection_.lastError().message();
            return false;
        }
        if (!connection_.registerObject(QLatin1String(kObjectPath), this,
                                        QDBusConnection::ExportAdaptors)) {
            error_ = QStringLiteral("cannot export %1").arg(QLatin1String(kObjectPath));
            connection_.unregisterService(serviceName_);
            return false;
        }
        registered_ = true;
        // A panel that restarts brings a new watcher, which knows nothing of us.
        watcherWatcher_ = new QDBusServiceWatcher(QLatin1String(kWatcherService), connection_,
                                                  QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcherWatcher_, &QDBusServiceWatcher::serviceRegistered, this,
                [this] { registerWithWatcher(); });
    }
    return registerWithWatcher();
}

bool StatusNotifierItem::registerWithWatcher() {
    if (!watcherAvailable(connection_)) {
        error_ = QStringLiteral("no StatusNotifierWatcher on the session bus");
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kWatcherService), QLatin1String(kWatcherPath),
        QLatin1String(kWatcherInterface), QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    // Not waited for: the watcher lives in the panel's process, which may be slow to answer, and
    // a test's fake watcher lives in ours.
    auto* pending = new QDBusPendingCallWatcher(connection_.asyncCall(call, 5000), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    error_ = finished->error().message();
                    logWarning("tray item", "the status notifier watcher refused the item: " +
                                                error_.toStdString());
                    emit registrationFailed(error_);
                } else {
                    error_.clear();
                    emit registeredWithWatcher();
                }
            });
    return true;
}

void StatusNotifierItem::setTitle(const QString& title) {
    if (title == title_)
        return;
    title_ = title;
    emit adaptor_->NewTitle();
}

void StatusNotifierItem::setStatus(const QString& status) {
    if (status == status_)
        return;
    status_ = status;
    emit adaptor_->NewStatus(status_);
}

void StatusNotifierItem::setIcon(const QVector<QImage>& images) {
    SniPixmapList pixmaps;
    for (const QImage& image : images)
        pixmaps.append(SniPixmap::fromImage(image));
    const bool same =
        pixmaps.size() == pixmaps_.size() &&
        std::equal(pixmaps.begin(), pixmaps.end(), pixmaps_.begin(),
                   [](const SniPixmap& a, const SniPixmap& b) {
                       return a.width == b.width && a.height == b.height && a.bytes == b.bytes;
                   });
    if (same)
        return;
    pixmaps_ = std::move(pixmaps);
    emit adaptor_->NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& title, const QString& text) {
    if (title == toolTipTitle_ && text == toolTipText_)
        return;
    toolTipTitle_ = title;
    toolTipText_ = text;
    emit adaptor_->NewToolTip();
}

void StatusNotifierItem::setLabel(const QString& label, const QString& guide) {
    if (label == label_ && guide == labelGuide_)
        return;
    label_ = label;
    labelGuide_ = guide;
    emit adaptor_->XAyatanaNewLabel(label_, labelGuide_);
}

SniToolTip StatusNotifierItem::toolTip() const {
    SniToolTip tip;
    tip.pixmaps = pixmaps_;
    tip.title = toolTipTitle_;
    tip.text = toolTipText_;
    return tip;
}

}  // namespace ravelong
