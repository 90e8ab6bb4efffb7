#pragma once

#include <QMenu>
#include <functional>
#include <string>
#include <vector>

#include "menubar/StackMenuEntry.h"

namespace ravelong {

// The stack menu on screen: a QMenu rebuilt from the entries `entries` gives each time it opens
// (the "Assign to Task" submenus from `assignTargets` when they open). It only says what the user
// chose.
//
// Qt menus have no alternate items: while the Control key is held, the recent tasks show their
// alternate titles, and choosing one with Control held chooses the alternate. The digit keys
// choose the entry that carries them. An entry with a submenu (a running timer) cannot be chosen
// itself in a Qt menu, so its submenu starts with "Stop Timer Now", which chooses it.
// Main thread only.
class TrayMenu final : public QMenu {
    Q_OBJECT

public:
    using Entries = std::function<std::vector<StackMenuEntry>()>;
    using AssignTargets = std::function<std::vector<StackMenuEntry>(const std::string& timingUuid)>;

    TrayMenu(Entries entries, AssignTargets assignTargets, QWidget* parent = nullptr);

    // Builds the menu now (it is also built whenever it is about to show).
    void rebuild();
    // The action showing the entry of `kind` with `uuid` (first match), for tests.
    QAction* actionFor(StackMenuEntry::Kind kind, const std::string& uuid = {}) const;

signals:
    // The user chose `entry`; `alternate` when it was chosen with Control held.
    void entryChosen(const ravelong::StackMenuEntry& entry, bool alternate);
    void showTasksChosen();
    void preferencesChosen();
    void importCsvChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void addEntries(QMenu* menu, const std::vector<StackMenuEntry>& entries);
    QAction* addEntry(QMenu* menu, const StackMenuEntry& entry);
    void choose(QAction* action);
    void showAlternates(bool shown);

    Entries entries_;
    AssignTargets assignTargets_;
    std::vector<StackMenuEntry> shown_;  // every entry of the open menu; actions hold the index
    std::vector<QAction*> actions_;
    bool alternatesShown_ = false;
};

}  // namespace ravelong
