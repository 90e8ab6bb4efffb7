#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "foundation/UserDefaults.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ravelong {

class ZRPreferenceController;

// The General pane of the preferences window: starting at login, the names of this computer and
// of this user, the tray item (what it shows, for how long seconds are shown, its design), the
// tray menu's rows and the main window at start. Every control writes through the preference
// controller; the pane follows changes of its settings made elsewhere. Main thread.
class GeneralPane final : public QWidget {
    Q_OBJECT

public:
    using Refuse = std::function<void(const QString& message)>;

    GeneralPane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
                QWidget* parent = nullptr);
    ~GeneralPane() override;

    // Shows the stored settings again.
    void refresh();

    void showDeviceName(const std::string& name);
    void showUserName(const std::string& name);
    void showStartAtLogin(bool enabled);
    void setShowSecondsDurationEnabled(bool enabled);

    // The entry of the seconds menu with this tag; refused with a message when there is none.
    void chooseShowSecondsDuration(int tag);

private:
    void commitDeviceName();
    void commitUserName();

    ZRPreferenceController& controller_;
    UserDefaults& defaults_;
    Refuse refuse_;
    std::vector<UserDefaults::ObserverId> observers_;

    QCheckBox* startAtLogin_;
    QLineEdit* deviceName_;
    QLineEdit* userName_;
    QComboBox* statusDuration_;
    QComboBox* showSeconds_;
    QCheckBox* showTaskName_;
    QCheckBox* simpleDesign_;
    QCheckBox* animate_;
    QComboBox* customDuration_;
    QCheckBox* showDescription_;
    QCheckBox* includeArchived_;
    QComboBox* recentTasks_;
    QCheckBox* openMainWindow_;
};

}  // namespace ravelong
