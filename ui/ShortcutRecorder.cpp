#include "ui/ShortcutRecorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

#include "core/services/AlertSound.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "menubar/IdleTexts.h"
#include "ui/IdleUiTexts.h"
#include "ui/QtText.h"

namespace ravelong {

ShortcutRecorder::ShortcutRecorder(AlertSound* sound, QWidget* parent)
    : QPushButton(parent), sound_(sound) {
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, [this] {
        if (recording_)
            stopRecording();
        else
            startRecording();
    });
    showCombination();
}

void ShortcutRecorder::bindToDefaults(UserDefaults& defaults, std::string key) {
    defaults_ = &defaults;
    key_ = std::move(key);
    const auto stored = HotKeyCombination::fromDictionary(defaults.dictionaryForKey(key_, nullptr));
    combination_ = stored.ok() ? stored.value() : std::nullopt;
    showCombination();
}

void ShortcutRecorder::setCombination(const std::optional<HotKeyCombination>& combination) {
    combination_ = combination;
    if (defaults_) {
        if (combination)
            defaults_->setDictionary(key_, combination->toDictionary());
        else
            defaults_->remove(key_);
        (void)defaults_->synchronize();  // failures are logged there
    }
    showCombination();
    emit combinationChanged();
}

std::optional<HotKeyCombination> ShortcutRecorder::combinationFor(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_AltGr:
            return std::nullopt;
        default:
            break;
    }
    quint32 keysym = event.nativeVirtualKey();
    if (keysym >= 'A' && keysym <= 'Z')
        keysym = keysym - 'A' + 'a';  // the key itself, whatever Shift made of it
    if (keysym == 0 || keysym > 0xffff || keysymName(keysym).empty())
        return std::nullopt;
    HotKeyCombination combination;
    combination.keyCode = static_cast<std::uint16_t>(keysym);
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ShiftModifier)
        combination.modifierFlags |= HotKeyCombination::kShift;
    if (modifiers & Qt::ControlModifier)
        combination.modifierFlags |= HotKeyCombination::kControl;
    if (modifiers & Qt::AltModifier)
        combination.modifierFlags |= HotKeyCombination::kAlt;
    if (modifiers & Qt::MetaModifier)
        combination.modifierFlags |= HotKeyCombination::kSuper;
    return combination;
}

void ShortcutRecorder::keyPressEvent(QKeyEvent* event) {
    if (!recording_) {
        QPushButton::keyPressEvent(event);
        return;
    }
    const bool plain = (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                              Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (plain && event->key() == Qt::Key_Escape) {
        stopRecording();
        return;
    }
    if (plain && (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete)) {
        stopRecording();
        setCombination(std::nullopt);
        return;
    }
    const std::optional<HotKeyCombination> pressed = combinationFor(*event);
    if (!pressed)
        return;  // a modifier alone: keep waiting for the key
    if ((pressed->modifierFlags & (HotKeyCombination::kControl | HotKeyCombination::kAlt |
                                   HotKeyCombination::kSuper)) == 0) {
        refuse(qt(idle_ui_texts::kShortcutNeedsModifier));
        return;
    }
    const QKeySequence sequence(event->keyCombination());
    for (const MenuShortcut& menu : menus_) {
        if (menu.sequence.matches(sequence) == QKeySequence::ExactMatch) {
            refuse(qt(fillPlaceholders(idle_ui_texts::kShortcutUsedByMenu, {menu.title})));
            return;
        }
    }
    if (taken_ && (!combination_ || *combination_ != *pressed) && taken_(*pressed)) {
        refuse(qt(idle_ui_texts::kShortcutUsedBySystem));
        return;
    }
    refusal_.clear();
    stopRecording();
    setCombination(pressed);
}

void ShortcutRecorder::focusOutEvent(QFocusEvent* event) {
    if (recording_ && !QApplication::activeModalWidget())
        stopRecording();
    QPushButton::focusOutEvent(event);
}

void ShortcutRecorder::startRecording() {
    recording_ = true;
    refusal_.clear();
    setText(qt(idle_ui_texts::kRecorderPrompt));
    setFocus();
}

void ShortcutRecorder::stopRecording() {
    recording_ = false;
    showCombination();
}

void ShortcutRecorder::refuse(const QString& text) {
    refusal_ = text;
    if (sound_)
        sound_->playSound(kFunkSound);
    auto* sheet = new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::Ok, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

void ShortcutRecorder::showCombination() {
    setText(combination_ ? qt(combination_->displayText()) : qt(idle_ui_texts::kRecorderEmpty));
}

}  // namespace ravelong
