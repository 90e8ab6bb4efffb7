#pragma once

#include <QMainWindow>
#include <vector>

#include "ui/TaskPanelRows.h"

class QListWidget;

namespace ravelong {

// The main window, titled "Ravelong". For now it lists the tasks as the panel does; the timed
// entries, the calendar and the statistics take its place later. Closing it emits closed().
class MainWindow final : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    void setRows(const std::vector<TaskPanelRow>& rows);

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QListWidget* list_;
};

}  // namespace ravelong
