#include "ui/QtAlertPresenter.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/AppStrings.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace ravelong {

namespace {

QMessageBox::Icon iconFor(Alert::Style style) {
    switch (style) {
        case Alert::Style::Informational:
            return QMessageBox::Information;
        case Alert::Style::Critical:
            return QMessageBox::Critical;
        case Alert::Style::Warning:
            break;
    }
    return QMessageBox::Warning;
}

void addAccessory(QMessageBox& box, const std::string& text) {
    auto* field = new QPlainTextEdit(&box);
    field->setObjectName(QStringLiteral("accessoryText"));
    field->setReadOnly(true);
    field->setPlainText(qt(text));
    QFont small = field->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
    field->setFont(small);
    field->setMinimumSize(420, 120);
    field->moveCursor(QTextCursor::Start);
    field->verticalScrollBar()->setValue(0);
    // The box's own grid: icon and labels on top, the buttons last; the field goes above them.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int rows = grid->rowCount();
        QLayoutItem* buttons = nullptr;
        int buttonRow = -1;
        for (int i = 0; i < grid->count(); ++i) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            if (grid->itemAt(i)->widget() &&
                qobject_cast<QDialogButtonBox*>(grid->itemAt(i)->widget())) {
                buttons = grid->itemAt(i);
                buttonRow = row;
            }
        }
        if (buttons) {
            grid->removeItem(buttons);
            grid->addWidget(field, buttonRow, 0, 1, grid->columnCount());
            grid->addItem(buttons, rows, 0, 1, grid->columnCount());
        } else {
            grid->addWidget(field, rows, 0, 1, grid->columnCount());
        }
    }
}

}  // namespace

QtAlertPresenter::Dialog QtAlertPresenter::buildDialog(const Alert& alert) {
    Dialog dialog;
    dialog.box = std::make_unique<QMessageBox>();
    QMessageBox& box = *dialog.box;
    box.setWindowTitle(qt(ui_texts::kApplicationName));
    box.setIcon(iconFor(alert.style));
    box.setTextFormat(Qt::PlainText);
    box.setText(qt(alert.messageText));
    box.setInformativeText(qt(alert.informativeText));
    // The box guesses the informative label's format on its own; texts with a task name in them
    // must never be read as markup.
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);

    std::vector<std::string> names = alert.buttons;
    if (names.empty())
        names.emplace_back(kOK);
    for (const std::string& name : names) {
        // One role for all keeps them in the alert's order on every desktop's button layout.
        QPushButton* button = box.addButton(qt(name), QMessageBox::AcceptRole);
        dialog.buttons.push_back(button);
    }
    box.setDefaultButton(static_cast<QPushButton*>(dialog.buttons.front()));
    box.setEscapeButton(dialog.buttons.back());

    if (!alert.suppressionText.empty())
        box.setCheckBox(new QCheckBox(qt(alert.suppressionText), &box));
    if (!alert.accessoryText.empty())
        addAccessory(box, alert.accessoryText);
    return dialog;
}

AlertResponse QtAlertPresenter::responseOf(const Dialog& dialog) {
    AlertResponse response;
    const QAbstractButton* clicked = dialog.box->clickedButton();
    for (std::size_t i = 0; i < dialog.buttons.size(); ++i) {
        if (dialog.buttons[i] == clicked)
            response.buttonIndex = static_cast<int>(i);
    }
    // Closed without a button (the window manager's close): the escape answer.
    if (!clicked)
        response.buttonIndex = static_cast<int>(dialog.buttons.size()) - 1;
    response.suppressionChecked = dialog.box->checkBox() && dialog.box->checkBox()->isChecked();
    return response;
}

AlertResponse QtAlertPresenter::runModal(const Alert& alert) {
    Dialog dialog = buildDialog(alert);
    if (shownObserver_)
        shownObserver_(alert);
    if (dismissing_) {
        AlertResponse response;
        response.buttonIndex = static_cast<int>(dialog.buttons.size()) - 1;
        return response;
    }
    // Nested alerts (one raised while another is up) restore the outer one afterwards.
    const QPointer<QMessageBox> outer = shown_;
    const std::vector<QPointer<QAbstractButton>> outerButtons = shownButtons_;
    shown_ = dialog.box.get();
    shownButtons_.assign(dialog.buttons.begin(), dialog.buttons.end());
    dialog.box->exec();
    shown_ = outer;
    shownButtons_ = outerButtons;
    return responseOf(dialog);
}

void QtAlertPresenter::dismissAlerts() {
    dismissing_ = true;
    if (shown_ && !shownButtons_.empty() && shownButtons_.back())
        shownButtons_.back()->click();
}

bool QtAlertPresenter::answerShownAlert(int buttonIndex) {
    if (!shown_ || buttonIndex < 0 || buttonIndex >= static_cast<int>(shownButtons_.size()))
        return false;
    QAbstractButton* button = shownButtons_[static_cast<std::size_t>(buttonIndex)];
    if (!button)
        return false;
    button->click();
    return true;
}

}  // namespace ravelong
