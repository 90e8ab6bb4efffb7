#pragma once

namespace ravelong {

class AlertPresenter;
class UserDefaults;

// Writes the program's settings and, the first time in a run that they cannot be written (a
// settings folder that is read-only, a full disk), tells the user so. Later failures are only
// logged (by UserDefaults). Main thread only.
class SettingsSaving {
public:
    SettingsSaving(UserDefaults& defaults, AlertPresenter& alerts);

    // Writes what changed. False when it could not be written; `mayAsk` false keeps the alert
    // back (nobody is there to read it: at shutdown, at the end of the process).
    bool synchronize(bool mayAsk = true);
    // Whether a write failed in this run.
    bool failedToSave() const { return failed_; }

private:
    UserDefaults& defaults_;
    AlertPresenter& alerts_;
    bool failed_ = false;
    bool told_ = false;
};

}  // namespace ravelong
