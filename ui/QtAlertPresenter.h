#pragma once

#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/AlertPresenter.h"

class QAbstractButton;

namespace ravelong {

// Shows alerts as Qt message boxes titled "Ravelong": the message text, the informative text,
// the buttons in the order given (the first is the default; Escape picks the last), the long
// details (Alert::accessoryText) in a scrollable read-only field in a small font, scrolled to the
// top, and the "do not show again" check box. Every text is shown as plain text, so a task name
// with markup in it is shown as typed. Main thread only.
class QtAlertPresenter final : public AlertPresenter {
public:
    // A message box for the alert, and its buttons in the alert's order.
    struct Dialog {
        std::unique_ptr<QMessageBox> box;
        std::vector<QAbstractButton*> buttons;
    };
    static Dialog buildDialog(const Alert& alert);
    // The answer a finished dialog gives.
    static AlertResponse responseOf(const Dialog& dialog);

    // Called with every alert right before it is shown.
    void setShownObserver(std::function<void(const Alert&)> observer) {
        shownObserver_ = std::move(observer);
    }

    AlertResponse runModal(const Alert& alert) override;

    // Presses a button of the alert on screen (for the test command channel); false when no
    // alert is shown or there is no such button.
    bool answerShownAlert(int buttonIndex);
    // The session is ending: the alert on screen, and every alert from now on, is answered as
    // Escape would answer it (the last button), so nothing waits for a user who has gone.
    void dismissAlerts();

private:
    std::function<void(const Alert&)> shownObserver_;
    bool dismissing_ = false;
    QPointer<QMessageBox> shown_;
    std::vector<QPointer<QAbstractButton>> shownButtons_;
};

}  // namespace ravelong
