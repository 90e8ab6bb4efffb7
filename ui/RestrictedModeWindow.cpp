#include "ui/RestrictedModeWindow.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

RestrictedModeWindow::RestrictedModeWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), text_(new QLabel(this)) {
    setObjectName(QStringLiteral("restrictedModeWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void RestrictedModeWindow::present(const QString& text) {
    text_->setText(text);
    presentCentred(*this, true);
}

QString RestrictedModeWindow::text() const {
    return text_->text();
}

}  // namespace ravelong
