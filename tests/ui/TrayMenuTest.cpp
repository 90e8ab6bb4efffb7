#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>

#include "ui/TrayMenu.h"
#include "ui/UiTestSupport.h"

namespace ravelong {
namespace {

using ui_testing::runFor;
using ui_testing::runUntil;

using Kind = StackMenuEntry::Kind;

StackMenuEntry entry(Kind kind, std::string title, std::string uuid = {}, std::string key = {}) {
    StackMenuEntry e;
    e.kind = kind;
    e.title = std::move(title);
    e.uuid = std::move(uuid);
    e.keyEquivalent = std::move(key);
    return e;
}

std::vector<StackMenuEntry> sampleMenu() {
    StackMenuEntry timing = entry(Kind::runningTiming, "Write \u2014 0:05", "timing-1", "1");
    timing.submenu.push_back(entry(Kind::assignToTask, "Assign to Task", "timing-1"));
    StackMenuEntry task = entry(Kind::recentTask, "Read & Review", "task-1", "2");
    task.alternateTitle = "Show Read in the Task List";
    return {entry(Kind::heading, "Running Timers"), timing, task,
            entry(Kind::quit, "Quit Ravelong")};
}

void key(QWidget& widget, QEvent::Type type, int code, Qt::KeyboardModifiers modifiers = {}) {
    QKeyEvent event(type, code, modifiers);
    QCoreApplication::sendEvent(&widget, &event);
}

void keyClick(QWidget& widget, int code, Qt::KeyboardModifiers modifiers = {}) {
    key(widget, QEvent::KeyPress, code, modifiers);
    key(widget, QEvent::KeyRelease, code, modifiers);
}

struct Chosen {
    std::vector<std::string> uuids;
    std::vector<bool> alternates;
};

TEST(TrayMenu, TheFixedEntriesSayWhatWasChosen) {
    struct Case {
        bool withMainWindow;
        std::vector<QString> lastTitles;
    };
    const Case cases[] = {
        {true, {"Import CSV…", "Show Main Window", "Show Tasks", "Preferences…", "Quit Ravelong"}},
        {false, {"Import CSV…", "Show Tasks", "Preferences…", "Quit Ravelong"}},
    };
    for (const Case& c : cases) {
        TrayMenu menu(
            [&] {
                std::vector<StackMenuEntry> entries = sampleMenu();
                if (c.withMainWindow)
                    entries.insert(entries.end() - 1,
                                   entry(Kind::showMainWindow, "Show Main Window"));
                return entries;
            },
            {});
        menu.rebuild();
        std::vector<std::string> said;
        QObject::connect(&menu, &TrayMenu::showTasksChosen, [&] { said.push_back("tasks"); });
        QObject::connect(&menu, &TrayMenu::preferencesChosen,
                         [&] { said.push_back("preferences"); });
        QObject::connect(&menu, &TrayMenu::importCsvChosen, [&] { said.push_back("import"); });
        const QList<QAction*> actions = menu.actions();
        ASSERT_GE(actions.size(), static_cast<qsizetype>(c.lastTitles.size()));
        const qsizetype first = actions.size() - static_cast<qsizetype>(c.lastTitles.size());
        std::vector<QString> titles;
        for (qsizetype i = first; i < actions.size(); ++i)
            titles.push_back(actions[i]->text());
        EXPECT_EQ(titles, c.lastTitles) << c.withMainWindow;
        for (qsizetype i = first; i < actions.size(); ++i)
            if (actions[i]->text() != "Show Main Window" && actions[i]->text() != "Quit Ravelong")
                actions[i]->trigger();
        EXPECT_EQ(said, (std::vector<std::string>{"import", "tasks", "preferences"}));
    }
}

TEST(TrayMenu, BuildsFromTheEntriesEachTimeItOpens) {
    int builds = 0;
    TrayMenu menu(
        [&] {
            ++builds;
            return sampleMenu();
        },
        {});
    menu.rebuild();
    QAction* task = menu.actionFor(Kind::recentTask, "task-1");
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->text(), "Read && Review\t2") << "no mnemonic from the name; the digit shown";
    QAction* timing = menu.actionFor(Kind::runningTiming, "timing-1");
    ASSERT_NE(timing, nullptr);
    ASSERT_NE(timing->menu(), nullptr);
    EXPECT_EQ(timing->menu()->actions().front()->text(), "Stop Timer Now");
    ASSERT_NE(menu.actionFor(Kind::quit), nullptr);
    EXPECT_EQ(menu.actions().last()->text(), "Quit Ravelong");
    EXPECT_EQ(builds, 1);
    menu.rebuild();
    EXPECT_EQ(builds, 2);
}

TEST(TrayMenu, DigitKeysAndTheControlAlternateChooseEntries) {
    TrayMenu menu([] { return sampleMenu(); }, {});
    Chosen chosen;
    QObject::connect(&menu, &TrayMenu::entryChosen, [&](const StackMenuEntry& e, bool alternate) {
        chosen.uuids.push_back(e.uuid);
        chosen.alternates.push_back(alternate);
    });
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(runUntil([&] { return menu.isVisible(); }));
    keyClick(menu, Qt::Key_1);
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(runUntil([&] { return menu.isVisible(); }));
    key(menu, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(menu.actionFor(Kind::recentTask, "task-1")->text(), "Show Read in the Task List\t2");
    key(menu, QEvent::KeyRelease, Qt::Key_Control);
    EXPECT_EQ(menu.actionFor(Kind::recentTask, "task-1")->text(), "Read && Review\t2");
    keyClick(menu, Qt::Key_2, Qt::ControlModifier);
    keyClick(menu, Qt::Key_7);  // no entry carries 7
    EXPECT_EQ(chosen.uuids, (std::vector<std::string>{"timing-1", "task-1"}));
    EXPECT_EQ(chosen.alternates, (std::vector<bool>{false, true}));
}

TEST(TrayMenu, AssignSubmenuIsFilledWhenItOpens) {
    std::vector<std::string> asked;
    TrayMenu menu([] { return sampleMenu(); },
                  [&](const std::string& timing) {
                      asked.push_back(timing);
                      StackMenuEntry header = entry(Kind::assignHeader, "Recent tasks:");
                      header.enabled = false;
                      StackMenuEntry target = entry(Kind::assignTarget, "Admin");
                      target.assignment = "task-2|||||" + timing;
                      return std::vector<StackMenuEntry>{header, target};
                  });
    menu.rebuild();
    QAction* assign = menu.actionFor(Kind::assignToTask, "timing-1");
    ASSERT_NE(assign, nullptr);
    ASSERT_NE(assign->menu(), nullptr);
    EXPECT_TRUE(assign->menu()->actions().isEmpty());
    emit assign->menu()->aboutToShow();
    EXPECT_EQ(asked, std::vector<std::string>{"timing-1"});
    ASSERT_EQ(assign->menu()->actions().size(), 2);
    EXPECT_EQ(assign->menu()->actions()[0]->text(), "Recent tasks:");
    EXPECT_FALSE(assign->menu()->actions()[0]->isEnabled());

    std::string assignment;
    QObject::connect(&menu, &TrayMenu::entryChosen,
                     [&](const StackMenuEntry& e, bool) { assignment = e.assignment; });
    assign->menu()->actions()[1]->trigger();
    EXPECT_EQ(assignment, "task-2|||||timing-1");
}

}  // namespace
}  // namespace ravelong
