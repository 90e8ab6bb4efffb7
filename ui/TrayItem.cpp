#include "ui/TrayItem.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEvent>
#include <QMenu>

#include "foundation/Log.h"
#include "ui/DBusMenuExporter.h"
#include "ui/StatusNotifierItem.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TrayItem::TrayItem(QMenu* contextMenu, QObject* parent)
    : TrayItem(contextMenu, QDBusConnection::sessionBus(), parent) {}

TrayItem::TrayItem(QMenu* contextMenu, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), contextMenu_(contextMenu) {
    if (StatusNotifierItem::watcherAvailable(bus)) {
        sni_ = std::make_unique<StatusNotifierItem>(bus, qt(ui_texts::kTrayItemId));
        sni_->setTitle(qt(ui_texts::kApplicationName));
        if (contextMenu_) {
            menuExporter_ = std::make_unique<DBusMenuExporter>(bus, contextMenu_);
            if (menuExporter_->exportMenu())
                sni_->setMenuPath(QLatin1String(DBusMenuExporter::kObjectPath));
        }
        if (sni_->registerItem()) {
            connect(sni_.get(), &StatusNotifierItem::activated, this, [this](QPoint position) {
                lastClick_ = position;
                emit clicked();
            });
            connect(sni_.get(), &StatusNotifierItem::secondaryActivated, this,
                    [this](QPoint position) {
                        lastClick_ = position;
                        emit clicked();
                    });
            connect(sni_.get(), &StatusNotifierItem::contextMenuRequested, this,
                    &TrayItem::popUpMenu);
        } else {
            logWarning("tray item",
                       "falling back to the XEmbed tray: " + sni_->errorString().toStdString());
            sni_.reset();
        }
    }
    if (sni_) {
        // A watcher that refuses us: the XEmbed tray is the last resort.
        connect(sni_.get(), &StatusNotifierItem::registrationFailed, this, [this] {
            sni_.release()->deleteLater();
            menuExporter_.reset();
            makeSystemTrayIcon();
        });
    } else {
        makeSystemTrayIcon();
    }
    setDisplay(StatusItemDisplay{});
    QCoreApplication::instance()->installEventFilter(this);
}

bool TrayItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange)
        setDisplay(display_);
    return QObject::eventFilter(watched, event);
}

TrayItem::~TrayItem() = default;

void TrayItem::makeSystemTrayIcon() {
    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setContextMenu(contextMenu_);
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit clicked();
            });
    if (look_)
        icon_->setIcon(clockIcon(*look_));
    icon_->setToolTip(toolTip_);
    if (visible_)
        icon_->show();
}

void TrayItem::show() {
    visible_ = true;
    if (sni_)
        sni_->setStatus(QStringLiteral("Active"));
    else
        icon_->show();
}

void TrayItem::hide() {
    visible_ = false;
    if (sni_)
        sni_->setStatus(QStringLiteral("Passive"));
    else
        icon_->hide();
}

bool TrayItem::isVisible() const {
    return sni_ ? visible_ : icon_->isVisible();
}

QRect TrayItem::geometry() const {
    if (icon_)
        return icon_->geometry();
    return lastClick_ ? QRect(*lastClick_, QSize(1, 1)) : QRect();
}

void TrayItem::popUpMenu(QPoint position) {
    if (!contextMenu_)
        return;
    lastClick_ = position;
    // Hosts that do not tell where (0, 0) get the menu at the pointer.
    contextMenu_->popup(position.isNull() ? QCursor::pos() : position);
}

void TrayItem::setDisplay(const StatusItemDisplay& display) {
    display_ = display;
    const ClockIconLook look{display.running, panelLooksDark(), qt(display.badgeText)};
    if (look_ != look) {
        look_ = look;
        if (sni_) {
            QVector<QImage> images;
            for (int size : {16, 22, 24, 32, 48})
                images.append(clockImage(look, size));
            sni_->setIcon(images);
        } else {
            icon_->setIcon(clockIcon(look));
        }
    }
    toolTip_ = qt(display.toolTipText());
    if (toolTip_.isEmpty())
        toolTip_ = qt(ui_texts::kApplicationName);
    if (sni_) {
        // The host shows the first line as the tip's heading.
        const qsizetype lineBreak = toolTip_.indexOf(QLatin1Char('\n'));
        sni_->setToolTip(lineBreak < 0 ? toolTip_ : toolTip_.left(lineBreak),
                         lineBreak < 0 ? QString() : toolTip_.mid(lineBreak + 1));
        const QString label = qt(display.labelText());
        sni_->setLabel(label, label);
    } else {
        icon_->setToolTip(toolTip_);
    }
}

}  // namespace ravelong
