#include "ui/ClockIcon.h"

#include <QPainter>
#include <QPixmap>

namespace ravelong {

namespace {

QPixmap clockFace(int size, bool running) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max<qreal>(1.5, size / 12.0);
    const QRectF face = QRectF(0, 0, size, size).adjusted(pen, pen, -pen, -pen);
    const QColor ink(0x33, 0x33, 0x33);
    painter.setPen(QPen(ink, pen));
    painter.setBrush(running ? QColor(0x3d, 0x9a, 0x5b) : QColor(0xf4, 0xf4, 0xf4));
    painter.drawEllipse(face);
    // Hands at ten past ten.
    const QPointF centre = face.center();
    const qreal radius = face.width() / 2.0;
    painter.setPen(QPen(running ? Qt::white : ink, pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(centre, centre + QPointF(-radius * 0.45, -radius * 0.25));
    painter.drawLine(centre, centre + QPointF(radius * 0.35, -radius * 0.6));
    return pixmap;
}

}  // namespace

QIcon clockIcon(bool running) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(clockFace(size, running));
    return icon;
}

}  // namespace ravelong
