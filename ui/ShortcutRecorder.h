#pragma once

#include <QKeySequence>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "menubar/HotKeyCombination.h"

namespace ravelong {

class AlertSound;
class UserDefaults;

// A button that records a global shortcut: clicked, it waits for a key combination with at
// least one of Ctrl, Alt or Super; Escape cancels, Backspace or Delete clears the shortcut.
//
// A combination is refused, with the alert sound and a sheet that says why, when one of the
// program's menu items uses it (setMenuShortcuts) or another program holds it (the check given
// to setTakenCheck, the desktop's grab). The key is recorded as its X keysym (what Qt reports as
// the native virtual key on X11 and Wayland). Bound to a user-defaults key, the recorder shows
// its value and writes every accepted change there at once (a cleared shortcut removes the key).
// Main thread only.
class ShortcutRecorder final : public QPushButton {
    Q_OBJECT

public:
    struct MenuShortcut {
        QKeySequence sequence;
        std::string title;
    };

    explicit ShortcutRecorder(AlertSound* sound, QWidget* parent = nullptr);

    void setMenuShortcuts(std::vector<MenuShortcut> shortcuts) { menus_ = std::move(shortcuts); }
    void setTakenCheck(std::function<bool(const HotKeyCombination&)> taken) {
        taken_ = std::move(taken);
    }
    void bindToDefaults(UserDefaults& defaults, std::string key);

    const std::optional<HotKeyCombination>& combination() const { return combination_; }
    void setCombination(const std::optional<HotKeyCombination>& combination);
    bool isRecording() const { return recording_; }
    // The text of the last refusal ("" when the last try was accepted).
    const QString& refusal() const { return refusal_; }

    // What a key press records: the combination, or nothing for a press that is not one (a
    // modifier alone, a key without keysym name).
    static std::optional<HotKeyCombination> combinationFor(const QKeyEvent& event);

signals:
    void combinationChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void startRecording();
    void stopRecording();
    void refuse(const QString& text);
    void showCombination();

    AlertSound* sound_;
    std::vector<MenuShortcut> menus_;
    std::function<bool(const HotKeyCombination&)> taken_;
    UserDefaults* defaults_ = nullptr;
    std::string key_;
    std::optional<HotKeyCombination> combination_;
    bool recording_ = false;
    QString refusal_;
};

}  // namespace ravelong
