#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "foundation/UserDefaults.h"

class QCheckBox;
class QComboBox;

namespace ravelong {

class ZRPreferenceController;

// The Timer pane of the preferences window: several timers at once and the hour a new day
// starts (both synced with the other devices), when the note panel opens around starts and
// stops, and where rounding applies (the timed entries' durations, rounding after compacting,
// and each chart; the rules themselves belong to the tasks). Writes through the preference
// controller; the synced values arrive through showAllowSimultaneousTimers and showNewDay (the
// controller's view). Main thread.
class TimerPane final : public QWidget {
    Q_OBJECT

public:
    using Refuse = std::function<void(const QString& message)>;

    TimerPane(ZRPreferenceController& controller, UserDefaults& defaults, Refuse refuse,
              QWidget* parent = nullptr);
    ~TimerPane() override;

    // Shows the stored local settings again.
    void refresh();
    void showAllowSimultaneousTimers(bool allowed);
    void showNewDay(int hour);

    // The hour (0...23) a new day starts; another hour is refused with a message.
    void chooseNewDay(int hour);

private:
    ZRPreferenceController& controller_;
    UserDefaults& defaults_;
    Refuse refuse_;
    std::vector<UserDefaults::ObserverId> observers_;

    QCheckBox* simultaneous_;
    QComboBox* newDay_;
    QComboBox* addNote_;
    // One per rounding setting; `inverted` where the stored key says "don't use rounding".
    struct RoundingBox {
        QCheckBox* box;
        std::string key;
        bool inverted;
    };
    std::vector<RoundingBox> rounding_;
};

}  // namespace ravelong
