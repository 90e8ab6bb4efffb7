#pragma once

#include <QObject>
#include <QRect>
#include <QSystemTrayIcon>
#include <optional>

#include "core/services/StatusItemTime.h"
#include "ui/TaskPanelRows.h"

class QMenu;

namespace ravelong {

// The tray item: the clock icon (filled while a timer runs), a tool tip with the current task
// and its total today, a left click that asks for the panel, and the context menu it is given.
// The texts come from `status`, asked again on every updateTime (the timer tick, saves).
// Main thread only.
class TrayItem final : public QObject, public StatusItemTime {
    Q_OBJECT

public:
    TrayItem(std::function<TrayStatus()> status, QMenu* contextMenu, QObject* parent = nullptr);

    void show();
    void hide();
    bool isVisible() const { return icon_.isVisible(); }
    // Where the icon sits on screen; empty when the tray does not tell (StatusNotifierItem hosts).
    QRect geometry() const { return icon_.geometry(); }
    QString toolTip() const { return icon_.toolTip(); }

    // StatusItemTime
    void setSecondsOfLastStopXMinutesAgo(double seconds) override;
    void updateTime() override;

signals:
    void clicked();

private:
    std::function<TrayStatus()> status_;
    QSystemTrayIcon icon_;
    std::optional<bool> shownRunning_;
    std::optional<double> lastStopSeconds_;
};

}  // namespace ravelong
