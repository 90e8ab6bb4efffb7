#include "app/AppController.h"

#include "app/AppDelegate.h"
#include "app/ApplicationShell.h"
#include "app/CalendarIdentifier.h"
#include "app/SavePathTexts.h"

namespace ravelong {

namespace {

// The explanation follows the switch into the restricted mode after a moment, so that it comes
// up after the main window has gone and does not appear underneath it.
constexpr double kRestrictedModeWindowDelay = 0.5;

}  // namespace

AppController::AppController(AppDelegate& delegate, ApplicationShell& shell)
    : delegate_(delegate), shell_(shell) {}

AppController::~AppController() {
    if (windowTimer_ != 0 && windowLoop_)
        windowLoop_->cancel(windowTimer_);
}

void AppController::handleGregorianAlertWithMode(int mode) {
    const bool gregorian = currentCalendarIsGregorian();
    if (!gregorian && !restrictedModeActive_) {
        if (delegate_.mainWindowIsOpen())
            delegate_.closeMainWindow();
        codds_ = true;
        restrictedModeActive_ = true;
        const std::string text(mode == 1 ? kRestrictedModeAgainText : kRestrictedModeText);
        windowLoop_ = &MainLoop::current();
        windowTimer_ = windowLoop_->runAfter(kRestrictedModeWindowDelay, [this, text] {
            windowTimer_ = 0;
            shell_.showRestrictedModeWindow(text);
            shell_.activate();
        });
    } else if (gregorian && restrictedModeActive_) {
        if (windowTimer_ != 0) {
            // Back to Gregorian before the explanation came up: it is not needed any more.
            windowLoop_->cancel(windowTimer_);
            windowTimer_ = 0;
        }
        shell_.closeRestrictedModeWindow();
        restrictedModeActive_ = false;
        codds_ = false;
    }
}

}  // namespace ravelong
