#include "app/SettingsSaving.h"

#include <string>

#include "app/AppStrings.h"
#include "app/SavePathTexts.h"
#include "foundation/AlertPresenter.h"
#include "foundation/UserDefaults.h"

namespace ravelong {

SettingsSaving::SettingsSaving(UserDefaults& defaults, AlertPresenter& alerts)
    : defaults_(defaults), alerts_(alerts) {}

bool SettingsSaving::synchronize(bool mayAsk) {
    const Status written = defaults_.synchronize();  // failures are logged there
    if (written)
        return true;
    failed_ = true;
    if (mayAsk && !told_) {
        told_ = true;
        Alert alert;
        alert.messageText = std::string(kSettingsCannotBeSaved);
        const Error& error = written.error();
        alert.informativeText =
            (error.failureReason.empty() ? error.description : error.failureReason) + "\n\n" +
            std::string(kSettingsLastUntilQuit);
        alert.buttons = {std::string(kOK)};
        alert.style = Alert::Style::Warning;
        alerts_.runModal(alert);
    }
    return false;
}

}  // namespace ravelong
