#pragma once

#include <QDialog>

class QLabel;

namespace ravelong {

// Asks what to do with running timers when the user quits: "Stop Timers" or "Keep Running".
// Floating and centred; it only says what the user chose. Closing it without a choice leaves
// the quit undecided (the program keeps running).
class TimersRunningWindow final : public QDialog {
    Q_OBJECT

public:
    explicit TimersRunningWindow(QWidget* parent = nullptr);
    void setTexts(const QString& messageText, const QString& informativeText);
    // Shows it centred on the screen, above other windows, with the keyboard focus.
    void present();

signals:
    void stopChosen();
    void keepChosen();

private:
    QLabel* message_;
    QLabel* informative_;
};

}  // namespace ravelong
