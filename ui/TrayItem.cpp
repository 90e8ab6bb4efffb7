#include "ui/TrayItem.h"

#include <QMenu>

#include "app/AppStrings.h"
#include "core/durations/NumberDurationStrings.h"
#include "ui/ClockIcon.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TrayItem::TrayItem(std::function<TrayStatus()> status, QMenu* contextMenu, QObject* parent)
    : QObject(parent), status_(std::move(status)) {
    icon_.setContextMenu(contextMenu);
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit clicked();
            });
    updateTime();
}

void TrayItem::show() {
    icon_.show();
}

void TrayItem::hide() {
    icon_.hide();
}

void TrayItem::setSecondsOfLastStopXMinutesAgo(double seconds) {
    lastStopSeconds_ = seconds;
}

void TrayItem::updateTime() {
    const TrayStatus status = status_();
    if (shownRunning_ != status.running) {
        icon_.setIcon(clockIcon(status.running));
        shownRunning_ = status.running;
    }
    QString tip = qt(status.taskName);
    if (!status.todayTotal.empty())
        tip += QLatin1Char('\n') + qt(formatText(ui_texts::kTodayTotal, {status.todayTotal}));
    // A timer just stopped some minutes ago: its length is shown once, then forgotten.
    if (lastStopSeconds_) {
        tip += QLatin1Char('\n') +
               qt(formatText(ui_texts::kTimerStopped,
                             {number_additions::getStringRepresentationOfSeconds_hm_roundDown(
                                 *lastStopSeconds_)}));
        lastStopSeconds_.reset();
    }
    icon_.setToolTip(tip);
}

}  // namespace ravelong
