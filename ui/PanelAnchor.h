#pragma once

#include <QRect>
#include <functional>

class QWidget;

namespace ravelong {

// Where the tray item is on screen (an empty rectangle when the tray host does not say).
using PanelAnchor = std::function<QRect()>;

// Shows a panel just below the tray item, kept on the item's screen; centred on the primary
// screen when the item's place is unknown. With `activate` the panel takes the keyboard focus.
void showBelowAnchor(QWidget& panel, const PanelAnchor& anchor, bool activate);

}  // namespace ravelong
