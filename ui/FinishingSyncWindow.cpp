#include "ui/FinishingSyncWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "sync/SyncStatusDisplay.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"
#include "ui/WindowPlacement.h"

namespace ravelong {

namespace {
constexpr int kBarSteps = 1000;
}

FinishingSyncWindow::FinishingSyncWindow(std::int64_t service, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      service_(service),
      label_(new QLabel(this)),
      bar_(new QProgressBar(this)) {
    setObjectName(QStringLiteral("finishingSyncWindow"));
    setWindowTitle(qt(ui_texts::kApplicationName));
    label_->setObjectName(QStringLiteral("label"));
    label_->setText(qt(terminatingMergeLabel(service_)));
    bar_->setTextVisible(false);
    bar_->setRange(0, 0);
    bar_->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
}

void FinishingSyncWindow::present() {
    presentCentred(*this, false);
}

void FinishingSyncWindow::mergeMadeProgress(double fraction) {
    label_->setText(qt(terminatingMergeLabel(service_)));
    if (fraction == 1.0) {
        // A phase is done and the next may take a while: show activity, not a full bar.
        bar_->setRange(0, 0);
        return;
    }
    bar_->setRange(0, kBarSteps);
    const double held = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    bar_->setValue(static_cast<int>(std::lround(held * kBarSteps)));
}

QString FinishingSyncWindow::label() const {
    return label_->text();
}

bool FinishingSyncWindow::isIndeterminate() const {
    return bar_->maximum() == 0;
}

double FinishingSyncWindow::barValue() const {
    return isIndeterminate() ? -1.0 : static_cast<double>(bar_->value()) / kBarSteps;
}

}  // namespace ravelong
