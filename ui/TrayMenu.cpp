#include "ui/TrayMenu.h"

#include "ui/UiTexts.h"

namespace ravelong {

TrayMenu::TrayMenu(QWidget* parent) : QMenu(parent) {
    QAction* show = addAction(QString::fromUtf8(
        ui_texts::kShowTasks.data(), static_cast<qsizetype>(ui_texts::kShowTasks.size())));
    connect(show, &QAction::triggered, this, &TrayMenu::showTasksChosen);
    addSeparator();
    QAction* quit = addAction(QString::fromUtf8(
        ui_texts::kQuitRavelong.data(), static_cast<qsizetype>(ui_texts::kQuitRavelong.size())));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &TrayMenu::quitChosen);
}

}  // namespace ravelong
