#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QPointer>

#include "ui/DBusMenuTypes.h"

class QAction;
class QMenu;

namespace ravelong {

class DBusMenuAdaptor;

// Shows a QMenu to hosts that draw menus themselves (com.canonical.dbusmenu at kObjectPath), so a
// StatusNotifierItem host that never calls ContextMenu still has our menu. The menu is walked
// afresh when the host is about to show it (the root's aboutToShow runs first, so a menu that
// rebuilds itself there is current); a submenu's aboutToShow runs when the host opens it. Items
// are numbered from 1 and keep their number while they stay in the menu; a click arrives as the
// action's trigger(). Main thread only.
class DBusMenuExporter final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kObjectPath = "/MenuBar";

    DBusMenuExporter(QDBusConnection connection, QMenu* menu, QObject* parent = nullptr);
    ~DBusMenuExporter() override;

    // Exports the object; false when the path is taken.
    bool exportMenu();

    // --- What the adaptor asks ---
    uint revision() const { return revision_; }
    DBusMenuLayoutItem layout(int parentId, int depth, const QStringList& names) const;
    DBusMenuItemList groupProperties(const QList<int>& ids, const QStringList& names) const;
    QVariant property(int id, const QString& name) const;
    // Runs the menu's or submenu's aboutToShow and walks the menu again; true when the layout
    // changed.
    bool aboutToShow(int id);
    // False for an unknown id.
    bool event(int id, const QString& eventId);

private:
    void walk();
    void walkMenu(QMenu* menu, int parentId);
    QVariantMap propertiesOf(int id, const QStringList& names) const;
    QMenu* menuOf(int id) const;

    QDBusConnection connection_;
    QPointer<QMenu> menu_;
    DBusMenuAdaptor* adaptor_ = nullptr;
    uint revision_ = 1;
    QHash<int, QPointer<QAction>> actions_;
    QHash<const QAction*, int> idOf_;
    int nextId_ = 1;
    QHash<int, QList<int>> children_;
    QStringList lastShape_;
    bool exported_ = false;
};

}  // namespace ravelong
