#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "UiTestSupport.h"
#include "foundation/UserDefaults.h"
#include "support/RecordingAlertSound.h"
#include "support/TestSupport.h"
#include "ui/ShortcutRecorder.h"

namespace ravelong {
namespace {

using Combination = HotKeyCombination;

// A key press as the X11 and Wayland platforms deliver it: the keysym as native virtual key.
void press(ShortcutRecorder& recorder, int key, Qt::KeyboardModifiers modifiers, quint32 keysym) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
    QApplication::sendEvent(&recorder, &event);
}

TEST(ShortcutRecorder, RefusesMenuAndTakenCombinationsAndStoresAcceptedOnes) {
    testing::TemporaryDirectory directory;
    UserDefaults defaults(directory / "settings.json");
    RecordingAlertSound sound;
    QWidget window;
    ShortcutRecorder recorder(&sound, &window);
    recorder.setMenuShortcuts({{QKeySequence(Qt::CTRL | Qt::Key_Q), "Quit"}});
    const Combination taken{0x6e, Combination::kControl | Combination::kAlt};
    recorder.setTakenCheck([&](const Combination& c) { return c == taken; });
    recorder.bindToDefaults(defaults, "ZRAddNoteHotKey");

    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 keysym;
        bool accepted;
    };
    const Case cases[] = {
        {Qt::Key_Q, Qt::ControlModifier, 0x71, false},                    // the Quit menu item's
        {Qt::Key_N, Qt::ControlModifier | Qt::AltModifier, 0x6e, false},  // another program's
        {Qt::Key_T, Qt::NoModifier, 0x74, false},                         // would steal typing
        {Qt::Key_T, Qt::ShiftModifier, 0x54, false},                      // still typing
        {Qt::Key_T, Qt::ControlModifier | Qt::AltModifier, 0x74, true},
    };
    std::size_t funks = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keysym);
        recorder.click();
        ASSERT_TRUE(recorder.isRecording());
        press(recorder, c.key, c.modifiers, c.keysym);
        if (c.accepted) {
            EXPECT_FALSE(recorder.isRecording());
            EXPECT_TRUE(recorder.refusal().isEmpty());
        } else {
            ++funks;
            EXPECT_FALSE(recorder.refusal().isEmpty());
            EXPECT_FALSE(defaults.exists("ZRAddNoteHotKey"));
            if (c.keysym == 0x71) {
                EXPECT_EQ(recorder.refusal().toStdString(),
                          "The menu item \"Quit\" uses this shortcut, so it's already used. To "
                          "use this shortcut, first remove or change the other shortcut.");
            }
            recorder.click();  // stop recording
        }
        EXPECT_EQ(sound.played().size(), funks);
    }
    EXPECT_TRUE(recorder.refusal().isEmpty());
    EXPECT_EQ(defaults.dictionaryForKey("ZRAddNoteHotKey"),
              (Combination{0x74, Combination::kControl | Combination::kAlt}.toDictionary()));
    EXPECT_EQ(recorder.text(), QStringLiteral("Ctrl+Alt+T"));

    // Backspace while recording clears the shortcut and the stored value.
    recorder.click();
    press(recorder, Qt::Key_Backspace, Qt::NoModifier, 0xff08);
    EXPECT_FALSE(defaults.exists("ZRAddNoteHotKey"));
    EXPECT_FALSE(recorder.combination().has_value());
    for (QWidget* sheet : window.findChildren<QWidget*>())
        sheet->close();
}

}  // namespace
}  // namespace ravelong
