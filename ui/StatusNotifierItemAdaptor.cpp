#include "ui/StatusNotifierItemAdaptor.h"

#include "foundation/Log.h"
#include "ui/StatusNotifierItem.h"

namespace ravelong {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item), item_(item) {}

QString StatusNotifierItemAdaptor::id() const {
    return item_->id();
}

QString StatusNotifierItemAdaptor::title() const {
    return item_->title();
}

QString StatusNotifierItemAdaptor::status() const {
    return item_->status();
}

SniPixmapList StatusNotifierItemAdaptor::iconPixmap() const {
    return item_->iconPixmaps();
}

SniToolTip StatusNotifierItemAdaptor::toolTip() const {
    return item_->toolTip();
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const {
    return QDBusObjectPath(item_->menuPath());
}

QString StatusNotifierItemAdaptor::label() const {
    return item_->label();
}

QString StatusNotifierItemAdaptor::labelGuide() const {
    return item_->labelGuide();
}

void StatusNotifierItemAdaptor::Activate(int x, int y) {
    emit item_->activated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y) {
    emit item_->secondaryActivated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y) {
    emit item_->contextMenuRequested(QPoint(x, y));
}

void StatusNotifierItemAdaptor::Scroll(int delta, const QString& orientation) {
    const QString which = orientation.toLower();
    if (which == QLatin1String("vertical")) {
        emit item_->scrolled(delta, Qt::Vertical);
    } else if (which == QLatin1String("horizontal")) {
        emit item_->scrolled(delta, Qt::Horizontal);
    } else {
        // A host that sends something else gets nothing done, and we say why.
        logWarning("tray item", "Scroll with an unknown orientation \"" +
                                    orientation.toStdString() + "\" ignored");
    }
}

}  // namespace ravelong
