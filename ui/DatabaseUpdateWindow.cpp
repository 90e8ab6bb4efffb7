#include "ui/DatabaseUpdateWindow.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

namespace {

int steps(double value) {
    if (!std::isfinite(value) || value <= 0.0)
        return 0;
    return static_cast<int>(std::min(value, static_cast<double>(std::numeric_limits<int>::max())));
}

}  // namespace

DatabaseUpdateWindow::DatabaseUpdateWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      text_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
    setObjectName(QStringLiteral("databaseUpdateWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    setMinimumWidth(420);
}

void DatabaseUpdateWindow::present(const QString& text, double maximum) {
    text_->setText(text);
    maximum_ = steps(maximum);
    bar_->setRange(0, 0);  // indeterminate until the first value
    presentCentred(*this, false);
}

void DatabaseUpdateWindow::setProgress(double value) {
    if (bar_->maximum() != maximum_)
        bar_->setRange(0, maximum_);
    bar_->setValue(std::clamp(steps(value), 0, maximum_));
    // The upgrade runs on the main thread; let the bar repaint between its steps.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString DatabaseUpdateWindow::text() const {
    return text_->text();
}

int DatabaseUpdateWindow::progressMaximum() const {
    return bar_->maximum();
}

int DatabaseUpdateWindow::progressValue() const {
    return bar_->value();
}

}  // namespace ravelong
