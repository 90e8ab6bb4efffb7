#pragma once

#include <QDialog>

#include "menubar/MenuBarTaskEditor.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace ravelong {

// The sheet that edits a task: name, colour (with the colour picker), description and rounding
// rule (inherit from the parent task, none, or up / to nearest / down to a number of minutes).
// It only collects values: the caller applies values() with MenuBarTaskEditor::editTask when the
// dialog is accepted. OK is disabled while the name is blank. Used by the panel and the main
// window. Main thread only.
class TaskEditDialog final : public QDialog {
    Q_OBJECT

public:
    explicit TaskEditDialog(const MenuBarTaskEditor::TaskValues& values, QWidget* parent = nullptr);

    MenuBarTaskEditor::TaskValues values() const;
    // The rounding choices in their order: -1 inherit, 0 none, 1 up, 2 nearest, 3 down.
    static int roundingCode(int choice, int minutes);
    static std::pair<int, int> choiceOfRoundingCode(int code);  // choice, minutes

    QLineEdit* nameField() const { return name_; }
    QComboBox* roundingChoice() const { return rounding_; }
    QSpinBox* roundingMinutes() const { return minutes_; }

private:
    void chooseColor();
    void showColor();

    MenuBarTaskEditor::TaskValues values_;
    QLineEdit* name_;
    QPushButton* color_;
    QPlainTextEdit* description_;
    QComboBox* rounding_;
    QSpinBox* minutes_;
    QPushButton* ok_ = nullptr;
};

}  // namespace ravelong
