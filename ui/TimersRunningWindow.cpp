#include "ui/TimersRunningWindow.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

TimersRunningWindow::TimersRunningWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      message_(new QLabel(this)),
      informative_(new QLabel(this)) {
    setObjectName(QStringLiteral("timersRunningWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    QFont bold = message_->font();
    bold.setBold(true);
    message_->setFont(bold);
    message_->setTextFormat(Qt::PlainText);
    informative_->setTextFormat(Qt::PlainText);
    informative_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* stop = buttons->addButton(qt(ui_texts::kStopTimers), QDialogButtonBox::AcceptRole);
    QPushButton* keep =
        buttons->addButton(qt(ui_texts::kKeepRunning), QDialogButtonBox::AcceptRole);
    stop->setDefault(true);
    connect(stop, &QPushButton::clicked, this, &TimersRunningWindow::stopChosen);
    connect(keep, &QPushButton::clicked, this, &TimersRunningWindow::keepChosen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addWidget(informative_);
    layout->addWidget(buttons);
}

void TimersRunningWindow::setTexts(const QString& messageText, const QString& informativeText) {
    message_->setText(messageText);
    informative_->setText(informativeText);
}

void TimersRunningWindow::present() {
    presentCentred(*this, true);
}

}  // namespace ravelong
