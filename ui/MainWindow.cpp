#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/TaskPanel.h"
#include "ui/UiTexts.h"

namespace ravelong {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), list_(new QListWidget(this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* heading = new QLabel(qt(ui_texts::kMainWindowTasks), central);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    layout->addWidget(list_);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    setCentralWidget(central);
    resize(640, 480);
}

void MainWindow::setRows(const std::vector<TaskPanelRow>& rows) {
    list_->clear();
    for (const TaskPanelRow& row : rows)
        list_->addItem(TaskPanel::rowText(row));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

}  // namespace ravelong
