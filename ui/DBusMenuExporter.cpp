#include "ui/DBusMenuExporter.h"

#include <QAction>
#include <QMenu>

#include "ui/DBusMenuAdaptor.h"

namespace ravelong {

namespace {

// Qt's "&x" mnemonics and "&&" as dbusmenu's "_x" and "&"; what follows a tab (the key
// equivalent column) is left out.
QString labelOf(const QString& text) {
    const QString shown = text.section(QLatin1Char('\t'), 0, 0);
    QString label;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QChar c = shown[i];
        if (c == QLatin1Char('_')) {
            label += QStringLiteral("__");
        } else if (c == QLatin1Char('&') && i + 1 < shown.size()) {
            ++i;
            if (shown[i] != QLatin1Char('&'))
                label += QLatin1Char('_');
            label += shown[i];
        } else {
            label += c;
        }
    }
    return label;
}

}  // namespace

DBusMenuExporter::DBusMenuExporter(QDBusConnection connection, QMenu* menu, QObject* parent)
    : QObject(parent), connection_(std::move(connection)), menu_(menu) {
    registerDBusMenuTypes();
    adaptor_ = new DBusMenuAdaptor(this);
}

DBusMenuExporter::~DBusMenuExporter() {
    if (exported_)
        connection_.unregisterObject(QLatin1String(kObjectPath));
}

bool DBusMenuExporter::exportMenu() {
    if (!exported_)
        exported_ = connection_.registerObject(QLatin1String(kObjectPath), this,
                                               QDBusConnection::ExportAdaptors);
    walk();
    return exported_;
}

void DBusMenuExporter::walk() {
    actions_.clear();
    children_.clear();
    QStringList shape;
    if (menu_)
        walkMenu(menu_, 0);
    for (auto it = idOf_.begin(); it != idOf_.end();) {
        if (actions_.value(it.value()).data() == it.key())
            ++it;
        else
            it = idOf_.erase(it);
    }
    // The layout changed when any item's place, kind or text did.
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        const QAction* action = it.value();
        shape.append(QStringLiteral("%1|%2|%3|%4")
                         .arg(it.key())
                         .arg(action ? action->text() : QString())
                         .arg(action && action->isSeparator())
                         .arg(action && action->menu()));
    }
    shape.sort();
    if (shape != lastShape_) {
        lastShape_ = shape;
        ++revision_;
        emit adaptor_->LayoutUpdated(revision_, 0);
    }
}

void DBusMenuExporter::walkMenu(QMenu* menu, int parentId) {
    QList<int>& children = children_[parentId];
    for (QAction* action : menu->actions()) {
        // An action keeps its id for as long as it is in the menu, so filling one submenu does
        // not renumber the items the host already knows.
        int id = idOf_.value(action, 0);
        if (id == 0) {
            id = nextId_++;
            idOf_.insert(action, id);
        }
        actions_.insert(id, action);
        children.append(id);
        if (action->menu())
            walkMenu(action->menu(), id);
    }
}

QMenu* DBusMenuExporter::menuOf(int id) const {
    if (id == 0)
        return menu_;
    const QAction* action = actions_.value(id);
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenuExporter::propertiesOf(int id, const QStringList& names) const {
    QVariantMap properties;
    if (id == 0) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (const QAction* action = actions_.value(id)) {
        if (action->isSeparator()) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            properties.insert(QStringLiteral("label"), labelOf(action->text()));
            if (action->menu())
                properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        }
        if (!action->isEnabled())
            properties.insert(QStringLiteral("enabled"), false);
        if (!action->isVisible())
            properties.insert(QStringLiteral("visible"), false);
    }
    if (names.isEmpty())
        return properties;
    QVariantMap chosen;
    for (const QString& name : names) {
        if (properties.contains(name))
            chosen.insert(name, properties.value(name));
    }
    return chosen;
}

DBusMenuLayoutItem DBusMenuExporter::layout(int parentId, int depth,
                                            const QStringList& names) const {
    DBusMenuLayoutItem item;
    item.id = parentId;
    item.properties = propertiesOf(parentId, names);
    if (depth == 0)
        return item;
    for (int child : children_.value(parentId))
        item.children.append(layout(child, depth < 0 ? -1 : depth - 1, names));
    return item;
}

DBusMenuItemList DBusMenuExporter::groupProperties(const QList<int>& ids,
                                                   const QStringList& names) const {
    DBusMenuItemList items;
    for (int id : ids) {
        if (id == 0 || actions_.contains(id))
            items.append(DBusMenuItem{id, propertiesOf(id, names)});
    }
    return items;
}

QVariant DBusMenuExporter::property(int id, const QString& name) const {
    return propertiesOf(id, {}).value(name);
}

bool DBusMenuExporter::aboutToShow(int id) {
    QMenu* menu = menuOf(id);
    if (!menu)
        return false;
    const uint before = revision_;
    emit menu->aboutToShow();
    walk();
    return revision_ != before;
}

bool DBusMenuExporter::event(int id, const QString& eventId) {
    QAction* action = actions_.value(id);
    if (id != 0 && !action)
        return false;
    if (eventId == QLatin1String("clicked") && action && action->isEnabled() && !action->menu())
        action->trigger();
    else if (eventId == QLatin1String("opened"))
        aboutToShow(id);
    return true;
}

}  // namespace ravelong
