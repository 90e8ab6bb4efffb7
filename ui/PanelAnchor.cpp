#include "ui/PanelAnchor.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "ui/WindowPlacement.h"

namespace ravelong {

void showBelowAnchor(QWidget& panel, const PanelAnchor& anchor, bool activate) {
    const QRect item = anchor ? anchor() : QRect();
    QScreen* screen = item.isValid() ? QGuiApplication::screenAt(item.center()) : nullptr;
    if (!screen) {
        presentCentred(panel, activate);
        return;
    }
    panel.adjustSize();
    const QRect area = screen->availableGeometry();
    QPoint at(item.center().x() - panel.width() / 2, item.bottom() + 1);
    // A tray at the bottom of the screen: the panel goes above the item instead.
    if (at.y() + panel.height() > area.bottom())
        at.setY(item.top() - panel.height() - 1);
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - panel.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - panel.height())));
    panel.move(at);
    panel.show();
    panel.raise();
    if (activate)
        panel.activateWindow();
}

}  // namespace ravelong
