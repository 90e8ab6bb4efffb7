#pragma once

class QWidget;

namespace ravelong {

// Shows a window of its own size centred on the primary screen and in front of the others;
// with `activate` it also takes the keyboard focus.
void presentCentred(QWidget& window, bool activate);

}  // namespace ravelong
