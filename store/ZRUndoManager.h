#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ravelong {

// Undo and redo of groups of actions, as the Edit menu presents them.
//
// Actions are closures registered while a change is made; undoing a group runs its actions in
// reverse order, and whatever they register meanwhile becomes the redo group (and the other way
// round). Groups nest: an inner group folds into the outer one, which alone appears as a step.
// An action registered outside any group opens an implicit group that stays open until
// endImplicitGroup() (the context calls it when it processes its pending changes), undo(), or
// an explicit top-level group begins.
//
// Main thread only.
class ZRUndoManager {
public:
    explicit ZRUndoManager(std::size_t levelsOfUndo = 30) : levels_(levelsOfUndo) {}

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return static_cast<int>(openGroups_.size()); }
    void endImplicitGroup();

    // Names the group being built (or, outside a group, the last completed one).
    void setActionName(std::string name);

    void registerUndo(std::function<void()> action);

    bool canUndo() const;
    bool canRedo() const { return !redoStack_.empty(); }
    std::string undoActionName() const;
    std::string redoActionName() const;
    void undo();
    void redo();
    bool isUndoing() const { return undoing_; }
    bool isRedoing() const { return redoing_; }

    // Registration may be switched off (counted: every disable needs its enable).
    void disableUndoRegistration() { ++disabled_; }
    void enableUndoRegistration() {
        if (disabled_ > 0)
            --disabled_;
    }
    bool isUndoRegistrationEnabled() const { return disabled_ == 0; }

    void removeAllActions();
    std::size_t levelsOfUndo() const { return levels_; }
    void setLevelsOfUndo(std::size_t levels);
    std::size_t undoCount() const { return undoStack_.size(); }

private:
    struct Group {
        std::string name;
        std::vector<std::function<void()>> actions;
        bool implicit = false;
    };

    void closeOutermostGroup();
    void pushCompleted(Group group);
    void trim();
    void runGroup(Group group, bool asUndo);

    std::size_t levels_;
    int disabled_ = 0;
    bool undoing_ = false;
    bool redoing_ = false;
    std::vector<Group> openGroups_;
    std::deque<Group> undoStack_;
    std::deque<Group> redoStack_;
    Group* collecting_ = nullptr;  // the group receiving actions while undoing or redoing
};

}  // namespace ravelong
