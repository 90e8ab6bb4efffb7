#pragma once

#include <QIcon>

namespace ravelong {

// The tray item's clock face, drawn for the sizes trays ask for. A running timer fills the face.
QIcon clockIcon(bool running);

}  // namespace ravelong
