#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSystemTrayIcon>
#include <memory>
#include <optional>

#include "menubar/StatusItemDisplay.h"
#include "ui/ClockIcon.h"

class QMenu;

namespace ravelong {

class DBusMenuExporter;
class StatusNotifierItem;

// The tray item on screen: the clock icon with its badge, the tool tip with name and total, and
// the label beside the icon where the host shows one. What it shows comes from the tray item's
// behaviour (ZRStatusItemView) as a StatusItemDisplay.
//
// Where a StatusNotifierWatcher is on the session bus (KDE, GNOME with the AppIndicator
// extension, most panels of today) the item is our own StatusNotifierItem, which also carries the
// label; otherwise (XEmbed trays such as trayer or stalonetray) it is a QSystemTrayIcon. A left
// click emits clicked(), a right click pops up `contextMenu` at the pointer; hosts that draw the
// menu themselves get it over com.canonical.dbusmenu. Main thread only.
class TrayItem final : public QObject {
    Q_OBJECT

public:
    TrayItem(QMenu* contextMenu, QObject* parent = nullptr);
    // The same on a given bus (tests use a private one).
    TrayItem(QMenu* contextMenu, const QDBusConnection& bus, QObject* parent = nullptr);
    ~TrayItem() override;

    void show();
    void hide();
    bool isVisible() const;
    // Where the icon sits on screen: the icon's geometry for XEmbed trays, the point of the last
    // click for StatusNotifierItem hosts, empty when neither is known.
    QRect geometry() const;
    QString toolTip() const { return toolTip_; }
    bool usesStatusNotifierItem() const { return sni_ != nullptr; }
    StatusNotifierItem* statusNotifierItem() const { return sni_.get(); }

    void setDisplay(const StatusItemDisplay& display);

signals:
    void clicked();

protected:
    // The desktop's colour scheme changed: the icon is drawn again in the panel's new ink.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void popUpMenu(QPoint position);
    void makeSystemTrayIcon();

    QMenu* contextMenu_;
    std::unique_ptr<DBusMenuExporter> menuExporter_;
    std::unique_ptr<StatusNotifierItem> sni_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::optional<ClockIconLook> look_;
    StatusItemDisplay display_;
    QString toolTip_;
    std::optional<QPoint> lastClick_;
    bool visible_ = false;
};

}  // namespace ravelong
