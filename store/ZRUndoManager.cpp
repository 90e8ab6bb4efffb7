#include "store/ZRUndoManager.h"

#include <utility>

namespace ravelong {

void ZRUndoManager::beginUndoGrouping() {
    // An explicit top-level group ends whatever stray changes were collecting implicitly.
    if (openGroups_.size() == 1 && openGroups_.front().implicit && !undoing_ && !redoing_) {
        endImplicitGroup();
    }
    openGroups_.push_back(Group{});
}

void ZRUndoManager::endUndoGrouping() {
    if (openGroups_.empty() || openGroups_.back().implicit)
        return;
    if (openGroups_.size() == 1) {
        closeOutermostGroup();
        return;
    }
    Group inner = std::move(openGroups_.back());
    openGroups_.pop_back();
    Group& outer = openGroups_.back();
    for (auto& action : inner.actions)
        outer.actions.push_back(std::move(action));
    if (outer.name.empty())
        outer.name = std::move(inner.name);
}

void ZRUndoManager::endImplicitGroup() {
    if (openGroups_.size() == 1 && openGroups_.front().implicit)
        closeOutermostGroup();
}

void ZRUndoManager::closeOutermostGroup() {
    Group group = std::move(openGroups_.front());
    openGroups_.clear();
    if (!group.actions.empty())
        pushCompleted(std::move(group));
}

void ZRUndoManager::pushCompleted(Group group) {
    undoStack_.push_back(std::move(group));
    trim();
}

void ZRUndoManager::trim() {
    while (levels_ > 0 && undoStack_.size() > levels_)
        undoStack_.pop_front();
}

void ZRUndoManager::setLevelsOfUndo(std::size_t levels) {
    levels_ = levels;
    trim();
}

void ZRUndoManager::setActionName(std::string name) {
    if (collecting_)
        return;  // undo and redo keep the name of the group they replay
    if (!openGroups_.empty()) {
        openGroups_.front().name = std::move(name);
    } else if (!undoStack_.empty()) {
        undoStack_.back().name = std::move(name);
    }
}

void ZRUndoManager::registerUndo(std::function<void()> action) {
    if (!isUndoRegistrationEnabled())
        return;
    if (collecting_) {
        collecting_->actions.push_back(std::move(action));
        return;
    }
    if (openGroups_.empty()) {
        openGroups_.push_back(Group{});
        openGroups_.back().implicit = true;
    }
    openGroups_.back().actions.push_back(std::move(action));
    // A new change makes the redo steps meaningless.
    redoStack_.clear();
}

bool ZRUndoManager::canUndo() const {
    if (!undoStack_.empty())
        return true;
    return openGroups_.size() == 1 && openGroups_.front().implicit &&
           !openGroups_.front().actions.empty();
}

std::string ZRUndoManager::undoActionName() const {
    return undoStack_.empty() ? std::string() : undoStack_.back().name;
}

std::string ZRUndoManager::redoActionName() const {
    return redoStack_.empty() ? std::string() : redoStack_.back().name;
}

void ZRUndoManager::runGroup(Group group, bool asUndo) {
    Group replay;
    replay.name = group.name;
    collecting_ = &replay;
    (asUndo ? undoing_ : redoing_) = true;
    for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it)
        (*it)();
    (asUndo ? undoing_ : redoing_) = false;
    collecting_ = nullptr;
    if (replay.actions.empty())
        return;
    if (asUndo) {
        redoStack_.push_back(std::move(replay));
    } else {
        undoStack_.push_back(std::move(replay));
        trim();
    }
}

void ZRUndoManager::undo() {
    endImplicitGroup();
    if (!openGroups_.empty() || undoStack_.empty())
        return;
    Group group = std::move(undoStack_.back());
    undoStack_.pop_back();
    runGroup(std::move(group), true);
}

void ZRUndoManager::redo() {
    endImplicitGroup();
    if (!openGroups_.empty() || redoStack_.empty())
        return;
    Group group = std::move(redoStack_.back());
    redoStack_.pop_back();
    runGroup(std::move(group), false);
}

void ZRUndoManager::removeAllActions() {
    openGroups_.clear();
    undoStack_.clear();
    redoStack_.clear();
}

}  // namespace ravelong
