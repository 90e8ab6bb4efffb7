#include "ui/ClockIcon.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>

namespace ravelong {

namespace {

constexpr const char* kLightInk = "#f2f2f2";
constexpr const char* kDarkInk = "#2e3436";
constexpr const char* kRunningFill = "#3d9a5b";

}  // namespace

QByteArray clockSvg(const ClockIconLook& look) {
    const QString ink = QLatin1String(look.darkPanel ? kLightInk : kDarkInk);
    const QString fill = look.running ? QLatin1String(kRunningFill) : QStringLiteral("none");
    const QString hands = look.running ? QStringLiteral("#ffffff") : ink;
    // Hands at ten past ten.
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
               "viewBox=\"0 0 32 32\">"
               "<circle cx=\"16\" cy=\"16\" r=\"13\" fill=\"%1\" stroke=\"%2\" "
               "stroke-width=\"3\"/>"
               "<path d=\"M16 16 L9.5 12.5 M16 16 L21 7.5\" stroke=\"%3\" stroke-width=\"3\" "
               "stroke-linecap=\"round\" fill=\"none\"/>"
               "</svg>")
        .arg(fill, ink, hands)
        .toUtf8();
}

QImage clockImage(const ClockIconLook& look, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer renderer(clockSvg(look));
    renderer.render(&painter, QRectF(0, 0, size, size));
    if (!look.badge.isEmpty()) {
        // A red disc over the lower right quarter, with the count in white.
        const qreal diameter = size * 0.62;
        const QRectF disc(size - diameter, size - diameter, diameter, diameter);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xd0, 0x2b, 0x2b));
        painter.drawEllipse(disc);
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(std::max(6, static_cast<int>(diameter * 0.8)));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(disc, Qt::AlignCenter, look.badge);
    }
    return image;
}

QIcon clockIcon(const ClockIconLook& look) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(clockImage(look, size)));
    return icon;
}

bool panelLooksDark() {
    const QColor window = QApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5;
}

}  // namespace ravelong
