#pragma once

#include <deque>
#include <string>
#include <vector>

#include "foundation/Error.h"

namespace ravelong {

// A message to the user: a message text, an informative text and buttons, titled with the
// application name by whoever shows it.
struct Alert {
    enum class Style { Warning, Informational, Critical };

    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;  // first = default; none means a single "OK"
    Style style = Style::Warning;
    // Shown as a "Do not show this message again" check box when not empty.
    std::string suppressionText;
    // Long details (an error report) shown in a scrollable read-only field when not empty.
    std::string accessoryText;

    bool operator==(const Alert&) const = default;
};

// The answer to an alert.
struct AlertResponse {
    int buttonIndex = 0;  // 0 for the first button
    bool suppressionChecked = false;
};

// Shows alerts. Declared here so that every layer can ask the user something; the Qt
// application installs an implementation that shows dialogs, tests install a
// ScriptedAlertPresenter. Main thread only.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;

    // Shows the alert and waits for the answer.
    virtual AlertResponse runModal(const Alert& alert) = 0;
    // Shows an error: its description as the message and its failure reason as informative text.
    virtual void presentError(const Error& error);

    // The presenter the program uses. Without an installed one, alerts are written to the log
    // and answered with the first button.
    static AlertPresenter& current();
    static void setCurrent(AlertPresenter* presenter);  // nullptr restores the default
};

// For tests: records every alert and answers with queued responses (the first button when
// none is queued).
class ScriptedAlertPresenter final : public AlertPresenter {
public:
    AlertResponse runModal(const Alert& alert) override;
    void queueResponse(AlertResponse response) { responses_.push_back(response); }
    void queueButton(int buttonIndex) { responses_.push_back({buttonIndex, false}); }

    const std::vector<Alert>& shownAlerts() const { return shown_; }

private:
    std::vector<Alert> shown_;
    std::deque<AlertResponse> responses_;
};

// Installs a presenter as AlertPresenter::current() for the lifetime of this object.
class ScopedAlertPresenter {
public:
    explicit ScopedAlertPresenter(AlertPresenter& presenter);
    ~ScopedAlertPresenter();
    ScopedAlertPresenter(const ScopedAlertPresenter&) = delete;
    ScopedAlertPresenter& operator=(const ScopedAlertPresenter&) = delete;

private:
    AlertPresenter* previous_;
};

}  // namespace ravelong
