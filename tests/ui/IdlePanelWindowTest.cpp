#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "PrivateBus.h"
#include "UiTestSupport.h"
#include "app/PreferenceKeys.h"
#include "core/timer/TimerTexts.h"
#include "core/timer/ZRTimerControllerOSX.h"
#include "tests/stats/StatsTestWorld.h"
#include "ui/AddNotePanelWindow.h"
#include "ui/DesktopIdleTimeSource.h"
#include "ui/IdlePanelWindow.h"

namespace ravelong {
namespace {

using stats_testing::berlinTime;
using ui_testing::PrivateBus;
using ui_testing::runUntil;

void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class FakeMutter final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Mutter.IdleMonitor")

public:
    qulonglong milliseconds = 0;

public slots:
    qulonglong GetIdletime() { return milliseconds; }
};

// The program's panels and idle source behind the timer controller, on the test's store.
class PanelDelegate final : public ApplicationDelegate {
public:
    PanelDelegate(ManagedObjectContext& context, ZRCDPreferences* preferences)
        : context_(context), preferences_(preferences) {}
    ManagedObjectContext& managedObjectContext() override { return context_; }
    ZRCDPreferences* cdPreferences() override { return preferences_; }
    AlertSound* alertSound() override { return &sound; }
    AddNotePanel* addNotePanel() override { return notes ? &notes->controller() : nullptr; }
    IdleTimePanel* idleTimePanel() override { return idle ? &idle->controller() : nullptr; }
    IdleTimeSource* idleTimeSource() override { return source; }
    StatusItemTime* statusItemTime() override { return nullptr; }
    TimingEditSession* timingEditSession() override { return nullptr; }

    RecordingAlertSound sound;
    AddNotePanelWindow* notes = nullptr;
    IdlePanelWindow* idle = nullptr;
    IdleTimeSource* source = nullptr;

private:
    ManagedObjectContext& context_;
    ZRCDPreferences* preferences_;
};

class IdlePanelWindowTest : public stats_testing::StatsWorld {
protected:
    IdlePanelWindowTest() {
        tree("Design Admin");
        defaults.setInteger(kZRIdleTime, 600);
        defaults.setInteger(kZRShowAddNoteToTiming, 0);
    }
    PanelDelegate panels{*context, delegate->preferences};
    IdlePanelWindow idleWindow{panels, defaults, loop, clock, {}};
    AddNotePanelWindow noteWindow{panels, defaults, {}};
};

// A timer runs, the desktop's idle monitor says 20 minutes, the tick opens the panel, the user
// picks "stop" and confirms: the timing ends where the idle stretch began.
TEST_F(IdlePanelWindowTest, StoppingFromThePanelEndsTheTimingWhenTheUserWentIdle) {
    PrivateBus bus;
    if (!bus.isUp())
        GTEST_SKIP() << "dbus-daemon did not start";
    QDBusConnection desktop = bus.connect(QStringLiteral("desktop"));
    FakeMutter mutter;
    mutter.milliseconds = 20 * 60 * 1000;
    ASSERT_TRUE(desktop.registerObject(QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                                       &mutter, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.gnome.Mutter.IdleMonitor")));
    DesktopIdleTimeSource source(bus.connect(QStringLiteral("program")), nullptr);
    panels.source = &source;
    panels.idle = &idleWindow;
    panels.notes = &noteWindow;

    ZRTimerControllerOSX controller(panels);
    ASSERT_TRUE(controller.toggleTask(tasks.at("Design"), 0, kNoteOverrideNoPanel, false, true));
    ZRCDTiming* timing = ZRCDTiming::getRunningTimings_inContext(*context).at(0);
    source.refresh();
    ASSERT_TRUE(runUntil([&] { return !source.isRefreshing(); }, 5000));

    clock.set(berlinTime(2024, 3, 13, 10, 40));
    controller.timeUpdate();
    ASSERT_TRUE(idleWindow.isVisible());
    EXPECT_EQ(idleWindow.idleText()->text().toStdString(),
              "Your computer has been idle since 10:20 (20m).");
    loop.advance(0.5);  // the task menu fills
    clock.set(berlinTime(2024, 3, 13, 10, 40));
    EXPECT_GT(idleWindow.putAwayMenu()->count(), 3);

    idleWindow.optionButton(IdleResolution::stop)->click();
    EXPECT_EQ(defaults.integerForKey(kZRIdleTimeResolve), 2);
    ASSERT_TRUE(idleWindow.resolveButton()->isEnabled());
    idleWindow.resolveButton()->click();
    EXPECT_FALSE(idleWindow.isVisible());
    EXPECT_FALSE(timing->running());
    EXPECT_EQ(timing->endDate(), berlinTime(2024, 3, 13, 10, 20));
    EXPECT_EQ(ZRCDTiming::numberOfRunningTimings_inContext(*context), 0u);
    EXPECT_FALSE(context->hasChanges());  // saved
}

TEST_F(IdlePanelWindowTest, PutAwayNeedsATaskBeforeItCanResolve) {
    panels.idle = &idleWindow;
    defaults.setInteger(kZRIdleTimeResolve, 3);
    idleWindow.controller().showIdleTimePanel(clock.now() - 900);
    EXPECT_TRUE(idleWindow.optionButton(IdleResolution::putAway)->isChecked());
    EXPECT_FALSE(idleWindow.resolveButton()->isEnabled());
    loop.advance(0.5);
    int admin = -1;
    for (int i = 0; i < idleWindow.putAwayMenu()->count(); ++i)
        if (idleWindow.putAwayMenu()->itemText(i) == QStringLiteral("Admin"))
            admin = i;
    ASSERT_GE(admin, 0);
    idleWindow.putAwayMenu()->setCurrentIndex(admin);
    emit idleWindow.putAwayMenu()->activated(admin);
    EXPECT_TRUE(idleWindow.resolveButton()->isEnabled());
    pressKey(&idleWindow, Qt::Key_Escape);
    EXPECT_FALSE(idleWindow.isVisible());
}

// The panel opens before its texts are in; once they have widened it, it is still under the
// tray item and wholly on the screen, wherever the item sits along the top edge.
TEST_F(IdlePanelWindowTest, PanelStaysUnderTheTrayItemAndOnTheScreenOnceItsTextsAreIn) {
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    const QRect area = screen->availableGeometry();
    for (const int itemLeft : {area.right() - 24, area.center().x(), area.left()}) {
        const QRect item(itemLeft, area.top(), 24, 24);
        IdlePanelWindow window{panels, defaults, loop, clock, [item] { return item; }};
        window.controller().showIdleTimePanel(clock.now() - 1200);
        ASSERT_TRUE(window.isVisible());
        ui_testing::runFor(50);  // the layout takes the texts in
        const QRect placed = window.geometry();
        EXPECT_TRUE(area.contains(placed)) << itemLeft << ": " << placed.x() << "," << placed.y()
                                           << " " << placed.width() << "x" << placed.height();
        EXPECT_EQ(placed.top(), item.bottom() + 1) << itemLeft;
        window.controller().closeIdleTimePanel();
    }
}

TEST_F(IdlePanelWindowTest, NotePanelStoresTheNoteOnReturnAndDropsItOnEscape) {
    panels.notes = &noteWindow;
    ZRCDTiming* ended =
        timing("Admin", clock.now() - 1200, clock.now() - 600, std::string("draft"));
    settle();
    noteWindow.controller().openAddTimingNotePanelWithType(1, ended, false);
    ASSERT_TRUE(noteWindow.isVisible());
    EXPECT_EQ(noteWindow.noteField()->text(), QStringLiteral("draft"));
    EXPECT_TRUE(
        noteWindow.timingList()->currentText().endsWith(QStringLiteral(" | 09:40 - 09:50")));
    noteWindow.noteField()->setText(QStringLiteral("call with Ada"));
    pressKey(noteWindow.noteField(), Qt::Key_Return);
    EXPECT_FALSE(noteWindow.isVisible());
    EXPECT_EQ(ended->note(), "call with Ada");
    EXPECT_EQ(undoName(), "Edit Timing Notes");

    noteWindow.controller().openAddTimingNotePanelWithType(1, ended, false);
    noteWindow.noteField()->setText(QStringLiteral("typo"));
    pressKey(noteWindow.noteField(), Qt::Key_Escape);
    EXPECT_FALSE(noteWindow.isVisible());
    EXPECT_EQ(ended->note(), "call with Ada");
}

}  // namespace
}  // namespace ravelong

#include "IdlePanelWindowTest.moc"
