#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QString>

namespace ravelong {

// The tray item's clock face, drawn from SVG for the sizes trays ask for. The face is a line
// drawing in the panel's ink (light on a dark panel, dark on a light one, the way symbolic icons
// are); a running timer fills it. A badge (the number of running timers) is drawn into the lower
// right corner.
struct ClockIconLook {
    bool running = false;
    bool darkPanel = false;
    QString badge;

    bool operator==(const ClockIconLook&) const = default;
};

// The SVG of the face without the badge, in a 32 by 32 view box.
QByteArray clockSvg(const ClockIconLook& look);
// The face at `size` pixels, premultiplied ARGB.
QImage clockImage(const ClockIconLook& look, int size);
// Every usual tray size.
QIcon clockIcon(const ClockIconLook& look);
// Whether the panel the icon sits on is dark, judged from the application's palette (which
// follows the desktop's colour scheme).
bool panelLooksDark();

}  // namespace ravelong
