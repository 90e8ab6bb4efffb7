#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;

namespace ravelong {

// Shown while old data is upgraded: a text and a progress bar from 0 to a maximum that stays
// indeterminate until the first progress value arrives. Floating and centred.
class DatabaseUpdateWindow final : public QDialog {
    Q_OBJECT

public:
    explicit DatabaseUpdateWindow(QWidget* parent = nullptr);
    void present(const QString& text, double maximum);
    void setProgress(double value);

    QString text() const;
    // The bar's range and value, in whole steps (an indeterminate bar has the range 0...0).
    int progressMaximum() const;
    int progressValue() const;

private:
    QLabel* text_;
    QProgressBar* bar_;
    int maximum_ = 0;
};

}  // namespace ravelong
