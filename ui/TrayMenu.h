#pragma once

#include <QMenu>

namespace ravelong {

// The tray item's context menu: show the task panel, and "Quit Ravelong", the quit that is
// really meant. It only says what the user chose.
class TrayMenu final : public QMenu {
    Q_OBJECT

public:
    explicit TrayMenu(QWidget* parent = nullptr);

signals:
    void showTasksChosen();
    void quitChosen();
};

}  // namespace ravelong
