#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "ui/QtAlertPresenter.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

Alert crashAlert() {
    Alert alert;
    alert.messageText = "It appears that Ravelong has crashed while the timer was running.";
    alert.informativeText = "The timer for the task \"<b>Write</b> report\" was started 3 minutes.";
    alert.buttons = {"Add timing", "Cancel"};
    return alert;
}

TEST(QtAlertPresenter, TheDialogCarriesTheTextsAndTheButtonsInOrder) {
    const QtAlertPresenter::Dialog dialog = QtAlertPresenter::buildDialog(crashAlert());
    QMessageBox& box = *dialog.box;
    EXPECT_EQ(box.windowTitle(), "Ravelong");
    EXPECT_EQ(box.text().toStdString(), crashAlert().messageText);
    EXPECT_EQ(box.informativeText().toStdString(), crashAlert().informativeText);
    EXPECT_EQ(box.icon(), QMessageBox::Warning);

    ASSERT_EQ(dialog.buttons.size(), 2u);
    EXPECT_EQ(dialog.buttons[0]->text(), "Add timing");
    EXPECT_EQ(dialog.buttons[1]->text(), "Cancel");
    EXPECT_EQ(box.defaultButton(), dialog.buttons[0]);
    EXPECT_EQ(box.escapeButton(), dialog.buttons[1]);
    EXPECT_EQ(box.checkBox(), nullptr);
    EXPECT_EQ(box.findChild<QPlainTextEdit*>(), nullptr);

    // A task name with markup is shown as typed.
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    auto* informative = box.findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_NE(informative, nullptr);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);

    // The buttons appear left to right in the alert's order on this desktop's layout.
    box.show();
    ui_testing::runFor(20);
    EXPECT_LT(dialog.buttons[0]->mapTo(&box, QPoint()).x(),
              dialog.buttons[1]->mapTo(&box, QPoint()).x());
}

TEST(QtAlertPresenter, AnAlertWithoutButtonsGetsOKAndStylesPickTheIcon) {
    Alert alert;
    alert.messageText = "Done.";
    alert.style = Alert::Style::Critical;
    QtAlertPresenter::Dialog dialog = QtAlertPresenter::buildDialog(alert);
    ASSERT_EQ(dialog.buttons.size(), 1u);
    EXPECT_EQ(dialog.buttons[0]->text(), "OK");
    EXPECT_EQ(dialog.box->icon(), QMessageBox::Critical);

    alert.style = Alert::Style::Informational;
    EXPECT_EQ(QtAlertPresenter::buildDialog(alert).box->icon(), QMessageBox::Information);
}

TEST(QtAlertPresenter, LongDetailsGoInASmallReadOnlyFieldScrolledToTheTop) {
    Alert alert;
    alert.messageText = "There was a problem saving to the database.";
    alert.buttons = {"Quit"};
    std::string details;
    for (int line = 1; line <= 200; ++line)
        details += "detail line " + std::to_string(line) + "\n";
    alert.accessoryText = details;

    const QtAlertPresenter::Dialog dialog = QtAlertPresenter::buildDialog(alert);
    auto* field = dialog.box->findChild<QPlainTextEdit*>("accessoryText");
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_EQ(field->toPlainText().toStdString(), details);
    EXPECT_LT(field->font().pointSizeF(), dialog.box->font().pointSizeF());
    EXPECT_GE(dialog.box->layout()->indexOf(field), 0) << "the field must be laid out";

    dialog.box->show();
    ui_testing::runFor(20);
    EXPECT_TRUE(field->isVisible());
    EXPECT_EQ(field->verticalScrollBar()->value(), 0);
    EXPECT_GT(field->verticalScrollBar()->maximum(), 0);
    // Still above the buttons.
    EXPECT_LT(field->mapTo(dialog.box.get(), QPoint()).y(),
              dialog.buttons[0]->mapTo(dialog.box.get(), QPoint()).y());
}

TEST(QtAlertPresenter, TheAnswerIsTheButtonPressedAndTheSuppressionBox) {
    Alert alert = crashAlert();
    alert.suppressionText = "Do not show this message again";
    const QtAlertPresenter::Dialog dialog = QtAlertPresenter::buildDialog(alert);
    ASSERT_NE(dialog.box->checkBox(), nullptr);
    EXPECT_EQ(dialog.box->checkBox()->text(), "Do not show this message again");

    dialog.box->checkBox()->setChecked(true);
    dialog.buttons[1]->click();
    const AlertResponse response = QtAlertPresenter::responseOf(dialog);
    EXPECT_EQ(response.buttonIndex, 1);
    EXPECT_TRUE(response.suppressionChecked);
}

TEST(QtAlertPresenter, RunModalWaitsForTheAnswerAndReportsTheAlertShown) {
    QtAlertPresenter presenter;
    std::vector<std::string> shown;
    presenter.setShownObserver([&](const Alert& alert) { shown.push_back(alert.messageText); });
    EXPECT_FALSE(presenter.answerShownAlert(0)) << "no alert is up";

    bool outOfRange = true;
    QTimer::singleShot(10, [&] {
        outOfRange = presenter.answerShownAlert(2);
        presenter.answerShownAlert(1);
    });
    const AlertResponse response = presenter.runModal(crashAlert());
    EXPECT_FALSE(outOfRange);
    EXPECT_EQ(response.buttonIndex, 1);
    EXPECT_FALSE(response.suppressionChecked);
    EXPECT_EQ(shown, std::vector<std::string>{crashAlert().messageText});
    EXPECT_FALSE(presenter.answerShownAlert(0)) << "the alert is gone";
}

TEST(QtAlertPresenter, WhenTheSessionEndsAlertsAreAnsweredAsEscapeWould) {
    QtAlertPresenter presenter;
    int shown = 0;
    presenter.setShownObserver([&](const Alert&) { ++shown; });
    QTimer::singleShot(10, [&] { presenter.dismissAlerts(); });
    EXPECT_EQ(presenter.runModal(crashAlert()).buttonIndex, 1);
    // Later alerts do not wait at all.
    EXPECT_EQ(presenter.runModal(crashAlert()).buttonIndex, 1);
    EXPECT_EQ(shown, 2);
}

}  // namespace
}  // namespace ravelong
