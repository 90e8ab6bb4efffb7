#include "ui/TrayMenu.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include "menubar/MenuBarTexts.h"

namespace ravelong {

namespace {

using Kind = StackMenuEntry::Kind;

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The key equivalent in the shortcut column (after the tab).
QString titleOf(const StackMenuEntry& entry, bool alternate) {
    QString title = qt(alternate ? entry.alternateTitle : entry.title);
    // A task name with "&" must not turn into a mnemonic.
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    if (!entry.keyEquivalent.empty())
        title += QLatin1Char('\t') + qt(entry.keyEquivalent);
    return title;
}

}  // namespace

TrayMenu::TrayMenu(Entries entries, AssignTargets assignTargets, QWidget* parent)
    : QMenu(parent), entries_(std::move(entries)), assignTargets_(std::move(assignTargets)) {
    connect(this, &QMenu::aboutToShow, this, &TrayMenu::rebuild);
    connect(this, &QMenu::aboutToHide, this, [this] { showAlternates(false); });
}

void TrayMenu::rebuild() {
    clear();
    for (QMenu* submenu : findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        submenu->deleteLater();
    shown_.clear();
    actions_.clear();
    alternatesShown_ = false;
    bool importShown = false;
    for (const StackMenuEntry& entry : entries_ ? entries_() : std::vector<StackMenuEntry>{}) {
        // The import goes with the windows, above "Show Main Window" (or above the entries
        // that end the menu when that is not offered).
        if (!importShown && (entry.kind == Kind::showMainWindow || entry.kind == Kind::quit)) {
            QAction* import = addAction(qt(menu_bar_texts::kImportCsv));
            connect(import, &QAction::triggered, this, &TrayMenu::importCsvChosen);
            importShown = true;
        }
        if (entry.kind == Kind::quit) {
            // Hosts whose left click does not reach us leave no other way to the task list.
            QAction* show = addAction(qt(menu_bar_texts::kShowTasks));
            connect(show, &QAction::triggered, this, &TrayMenu::showTasksChosen);
            QAction* preferences = addAction(qt(menu_bar_texts::kPreferences));
            connect(preferences, &QAction::triggered, this, &TrayMenu::preferencesChosen);
        }
        addEntry(this, entry);
    }
}

void TrayMenu::addEntries(QMenu* menu, const std::vector<StackMenuEntry>& entries) {
    for (const StackMenuEntry& entry : entries)
        addEntry(menu, entry);
}

QAction* TrayMenu::addEntry(QMenu* menu, const StackMenuEntry& entry) {
    if (entry.kind == Kind::separator) {
        menu->addSeparator();
        return nullptr;
    }
    const int index = static_cast<int>(shown_.size());
    shown_.push_back(entry);
    QAction* action = nullptr;
    if (entry.kind == Kind::assignToTask) {
        QMenu* submenu = menu->addMenu(titleOf(entry, false));
        action = submenu->menuAction();
        const std::string timing = entry.uuid;
        connect(submenu, &QMenu::aboutToShow, this, [this, submenu, timing] {
            submenu->clear();
            addEntries(submenu,
                       assignTargets_ ? assignTargets_(timing) : std::vector<StackMenuEntry>{});
        });
    } else if (!entry.submenu.empty()) {
        QMenu* submenu = menu->addMenu(titleOf(entry, false));
        action = submenu->menuAction();
        if (entry.kind == Kind::runningTiming) {
            QAction* stop = submenu->addAction(qt(menu_bar_texts::kStopTimerNow));
            stop->setData(index);
            connect(stop, &QAction::triggered, this, [this, stop] { choose(stop); });
            submenu->addSeparator();
        }
        addEntries(submenu, entry.submenu);
    } else {
        action = menu->addAction(titleOf(entry, false));
        if (entry.kind == Kind::quit)
            action->setMenuRole(QAction::QuitRole);
        connect(action, &QAction::triggered, this, [this, action] { choose(action); });
    }
    action->setData(index);
    action->setEnabled(entry.enabled);
    actions_.push_back(action);
    return action;
}

void TrayMenu::choose(QAction* action) {
    bool ok = false;
    const int index = action->data().toInt(&ok);
    if (!ok || index < 0 || static_cast<std::size_t>(index) >= shown_.size())
        return;
    const StackMenuEntry entry = shown_[static_cast<std::size_t>(index)];
    const bool alternate = !entry.alternateTitle.empty() &&
                           (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
    emit entryChosen(entry, alternate);
}

QAction* TrayMenu::actionFor(StackMenuEntry::Kind kind, const std::string& uuid) const {
    for (QAction* action : actions_) {
        const StackMenuEntry& entry = shown_[static_cast<std::size_t>(action->data().toInt())];
        if (entry.kind == kind && (uuid.empty() || entry.uuid == uuid))
            return action;
    }
    return nullptr;
}

void TrayMenu::showAlternates(bool shown) {
    if (shown == alternatesShown_)
        return;
    alternatesShown_ = shown;
    for (QAction* action : actions_) {
        const StackMenuEntry& entry = shown_[static_cast<std::size_t>(action->data().toInt())];
        if (!entry.alternateTitle.empty())
            action->setText(titleOf(entry, shown));
    }
}

void TrayMenu::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control) {
        showAlternates(true);
    } else if (event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9 &&
               !(event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
        const std::string digit(1, static_cast<char>('0' + (event->key() - Qt::Key_0)));
        for (QAction* action : actions_) {
            const StackMenuEntry& entry = shown_[static_cast<std::size_t>(action->data().toInt())];
            if (entry.keyEquivalent == digit && action->isEnabled()) {
                hide();
                emit entryChosen(entry, !entry.alternateTitle.empty() &&
                                            (event->modifiers() & Qt::ControlModifier));
                return;
            }
        }
    }
    QMenu::keyPressEvent(event);
}

void TrayMenu::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Control)
        showAlternates(false);
    QMenu::keyReleaseEvent(event);
}

}  // namespace ravelong
