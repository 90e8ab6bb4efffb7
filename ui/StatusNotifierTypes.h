#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>

namespace ravelong {

// One icon image as a StatusNotifierItem sends it: D-Bus signature (iiay), width, height and
// ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;

    // `image` in the wire format (any QImage format; converted to straight ARGB32 first).
    static SniPixmap fromImage(const QImage& image);
    // Back to an image; a null image when the sizes do not match the bytes.
    QImage toImage() const;
};
using SniPixmapList = QList<SniPixmap>;

// The tool tip: (sa(iiay)ss) icon name, icon images, title, text.
struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString text;
};

// Registers the types with Qt's meta-type and D-Bus type systems; call before using them on a
// connection (idempotent).
void registerStatusNotifierTypes();

}  // namespace ravelong

QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const ravelong::SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ravelong::SniToolTip& tip);

Q_DECLARE_METATYPE(ravelong::SniPixmap)
Q_DECLARE_METATYPE(ravelong::SniToolTip)
