#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "foundation/UserDefaults.h"

class QCheckBox;
class QComboBox;

namespace ravelong {

class ZRPreferenceController;

// The Idle and sleep pane of the preferences window: after how long without input the idle
// panel asks what the time away was, and whether timers keep running while the computer sleeps
// or is shut down. Writes through the preference controller and follows changes made elsewhere.
// Main thread.
class IdlePane final : public QWidget {
    Q_OBJECT

public:
    using Refuse = std::function<void(const QString& message)>;

    IdlePane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
             QWidget* parent = nullptr);
    ~IdlePane() override;

    void refresh();
    // The entry of the idle time menu (0 off, then 5 to 60 minutes); another is refused.
    void chooseIdleTime(int index);

private:
    ZRPreferenceController& controller_;
    UserDefaults& defaults_;
    Refuse refuse_;
    std::vector<UserDefaults::ObserverId> observers_;

    QComboBox* idleTime_;
    QCheckBox* timingWhenSleeping_;
};

}  // namespace ravelong
