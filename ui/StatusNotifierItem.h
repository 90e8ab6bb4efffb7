#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QVector>

#include "ui/StatusNotifierTypes.h"

class QDBusServiceWatcher;

namespace ravelong {

class StatusNotifierItemAdaptor;

// Our tray item as a StatusNotifierItem on the session bus (interface org.kde.StatusNotifierItem
// at /StatusNotifierItem, under the name org.kde.StatusNotifierItem-<pid>-<n>), so that hosts that
// show a label beside the icon (the Ayatana label properties) can show the task and its total.
// The host is told of the item through org.kde.StatusNotifierWatcher; when that watcher goes and
// comes back (a panel restart), the item registers again.
//
// Methods the host calls arrive as signals: Activate (left click), SecondaryActivate (middle
// click), ContextMenu (right click) with the screen position, Scroll. ItemIsMenu is false; hosts
// that draw menus themselves find ours at the Menu path (see DBusMenuExporter), the others ask
// for it with ContextMenu.
// Main thread only.
class StatusNotifierItem final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kObjectPath = "/StatusNotifierItem";
    static constexpr const char* kWatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
    static constexpr const char* kWatcherInterface = "org.kde.StatusNotifierWatcher";

    StatusNotifierItem(QDBusConnection connection, QString id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Whether a watcher is on the bus now.
    static bool watcherAvailable(const QDBusConnection& connection);

    // Claims the bus name, exports the object and asks the watcher to show it. False (with the
    // reason in errorString) when there is no watcher or the name or object cannot be had; the
    // watcher's answer comes later as registeredWithWatcher or registrationFailed.
    bool registerItem();
    QString errorString() const { return error_; }
    QString serviceName() const { return serviceName_; }

    // The item's state; each setter emits the matching D-Bus signal only on a change.
    void setTitle(const QString& title);
    void setStatus(const QString& status);  // "Passive", "Active", "NeedsAttention"
    void setIcon(const QVector<QImage>& images);
    void setToolTip(const QString& title, const QString& text);
    void setLabel(const QString& label, const QString& guide);
    // The object path of the item's exported menu ("/NO_DBUSMENU" while there is none).
    void setMenuPath(const QString& path) { menuPath_ = path; }
    QString menuPath() const { return menuPath_; }

    QString id() const { return id_; }
    QString title() const { return title_; }
    QString status() const { return status_; }
    SniPixmapList iconPixmaps() const { return pixmaps_; }
    SniToolTip toolTip() const;
    QString label() const { return label_; }
    QString labelGuide() const { return labelGuide_; }

signals:
    void activated(QPoint position);
    void secondaryActivated(QPoint position);
    void contextMenuRequested(QPoint position);
    void scrolled(int delta, Qt::Orientation orientation);
    void registeredWithWatcher();
    void registrationFailed(const QString& error);

private:
    friend class StatusNotifierItemAdaptor;
    bool registerWithWatcher();

    QDBusConnection connection_;
    QString id_;
    QString serviceName_;
    QString error_;
    QString title_;
    QString status_ = QStringLiteral("Active");
    SniPixmapList pixmaps_;
    QString toolTipTitle_;
    QString toolTipText_;
    QString label_;
    QString labelGuide_;
    QString menuPath_ = QStringLiteral("/NO_DBUSMENU");
    StatusNotifierItemAdaptor* adaptor_ = nullptr;
    QDBusServiceWatcher* watcherWatcher_ = nullptr;
    bool registered_ = false;
};

}  // namespace ravelong
