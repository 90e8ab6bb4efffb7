#include "foundation/AlertPresenter.h"

#include <atomic>

#include "foundation/Log.h"

namespace ravelong {

namespace {

// Until the application installs its dialogs, nobody can be asked: log and take the default.
class LoggingAlertPresenter final : public AlertPresenter {
public:
    AlertResponse runModal(const Alert& alert) override {
        logWarning("alert", alert.messageText + " " + alert.informativeText);
        return AlertResponse{};
    }
};

LoggingAlertPresenter gLoggingPresenter;
std::atomic<AlertPresenter*> gCurrentPresenter{&gLoggingPresenter};

}  // namespace

void AlertPresenter::presentError(const Error& error) {
    Alert alert;
    alert.messageText = error.description;
    alert.informativeText = error.failureReason;
    alert.style = Alert::Style::Critical;
    (void)runModal(alert);
}

AlertPresenter& AlertPresenter::current() {
    return *gCurrentPresenter.load();
}

void AlertPresenter::setCurrent(AlertPresenter* presenter) {
    gCurrentPresenter.store(presenter ? presenter : &gLoggingPresenter);
}

AlertResponse ScriptedAlertPresenter::runModal(const Alert& alert) {
    shown_.push_back(alert);
    if (responses_.empty())
        return AlertResponse{};
    AlertResponse response = responses_.front();
    responses_.pop_front();
    return response;
}

ScopedAlertPresenter::ScopedAlertPresenter(AlertPresenter& presenter)
    : previous_(&AlertPresenter::current()) {
    AlertPresenter::setCurrent(&presenter);
}

ScopedAlertPresenter::~ScopedAlertPresenter() {
    AlertPresenter::setCurrent(previous_);
}

}  // namespace ravelong
