#include "ui/SyncQuestionDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "sync/SyncTexts.h"
#include "ui/QtText.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

SyncQuestionDialog::SyncQuestionDialog(const QString& objectName, CodeForButton codeForButton,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      codeForButton_(std::move(codeForButton)),
      message_(new QLabel(this)),
      informative_(new QLabel(this)) {
    setObjectName(objectName);
    setWindowTitle(qt(sync_texts::kSyncAlertTitle));
    message_->setObjectName(QStringLiteral("message"));
    informative_->setObjectName(QStringLiteral("informativeText"));
    QFont bold = message_->font();
    bold.setBold(true);
    message_->setFont(bold);
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    informative_->setTextFormat(Qt::PlainText);
    informative_->setWordWrap(true);
    informative_->hide();

    content_ = new QVBoxLayout;
    content_->addWidget(message_);
    content_->addWidget(informative_);
    buttons_ = new QHBoxLayout;
    buttons_->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content_, 1);
    layout->addLayout(buttons_);
    setMinimumWidth(420);
}

void SyncQuestionDialog::setMessage(const QString& text) {
    message_->setText(text);
}

void SyncQuestionDialog::setInformativeText(const QString& text) {
    informative_->setText(text);
    informative_->setVisible(!text.isEmpty());
}

QString SyncQuestionDialog::message() const {
    return message_->text();
}

QString SyncQuestionDialog::informativeText() const {
    return informative_->text();
}

QPushButton* SyncQuestionDialog::addButton(const QString& identifier, const QString& text,
                                           bool isDefault) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(identifier);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    connect(button, &QPushButton::clicked, this,
            [this, identifier] { done(codeForButton_(identifier)); });
    buttons_->addWidget(button);
    return button;
}

void SyncQuestionDialog::reject() {
    done(codeForButton_(QString()));
}

int SyncQuestionDialog::ask() {
    presentCentred(*this, true);
    return exec();
}

}  // namespace ravelong
