#include "ui/DBusMenuAdaptor.h"

#include "ui/DBusMenuExporter.h"

namespace ravelong {

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenuExporter* exporter)
    : QDBusAbstractAdaptor(exporter), exporter_(exporter) {}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                DBusMenuLayoutItem& layout) {
    // Hosts that ask for the whole menu without AboutToShow still get a current one.
    if (parentId == 0)
        exporter_->aboutToShow(0);
    layout = exporter_->layout(parentId, recursionDepth, propertyNames);
    return exporter_->revision();
}

DBusMenuItemList DBusMenuAdaptor::GetGroupProperties(const QList<int>& ids,
                                                     const QStringList& propertyNames) {
    return exporter_->groupProperties(ids, propertyNames);
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString& name) {
    return QDBusVariant(exporter_->property(id, name));
}

void DBusMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    exporter_->event(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const DBusMenuEventList& events) {
    QList<int> unknown;
    for (const DBusMenuEvent& event : events) {
        if (!exporter_->event(event.id, event.eventId))
            unknown.append(event.id);
    }
    return unknown;
}

bool DBusMenuAdaptor::AboutToShow(int id) {
    return exporter_->aboutToShow(id);
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    QList<int> updates;
    for (int id : ids) {
        if (exporter_->aboutToShow(id))
            updates.append(id);
    }
    idErrors.clear();
    return updates;
}

}  // namespace ravelong
