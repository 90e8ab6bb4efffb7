#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "foundation/UserDefaults.h"
#include "menubar/HotKeyCombination.h"

class QLabel;

namespace ravelong {

class AlertSound;
class ShortcutRecorder;

// The Hot keys pane of the preferences window: a recorder for each of the five global shortcuts,
// bound to its user-defaults key (the hot-key controller registers what is stored). Where the
// desktop offers no way to register shortcuts, the pane says so instead and lists the
// command-line commands to bind in the desktop's own keyboard settings. Main thread.
class HotKeysPane final : public QWidget {
    Q_OBJECT

public:
    struct Options {
        bool registrationAvailable = true;
        // Whether another program holds a combination (empty: nothing is known to be taken).
        std::function<bool(const HotKeyCombination&)> taken;
    };

    HotKeysPane(UserDefaults& defaults, AlertSound* sound, Options options,
                QWidget* parent = nullptr);
    ~HotKeysPane() override;

    // The label of the shortcut that toggles the timer the other way round as to the note.
    void setToggleTimerHotKeyLabel(std::string_view label);

    // The recorder for a defaults key, nullptr when registration is not available.
    ShortcutRecorder* recorder(std::string_view defaultsKey) const;

private:
    UserDefaults& defaults_;
    std::vector<UserDefaults::ObserverId> observers_;
    std::array<ShortcutRecorder*, 5> recorders_{};
    QLabel* toggleAndNoteLabel_ = nullptr;
};

}  // namespace ravelong
