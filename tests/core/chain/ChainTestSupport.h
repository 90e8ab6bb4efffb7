#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "foundation/Instant.h"
#include "store/ManagedObjectContext.h"
#include "store/ZRUndoManager.h"

// Building task trees and chains by hand, and checking chains, for the chain, tree and repair
// tests. The checks here are written independently of the code under test.
namespace ravelong::chain_testing {

// A scratch context (no store file) with an undo manager, and tasks found by name.
class Forest {
public:
    Forest();

    // A task named `name` under `parent` (found by name; empty for a top-level task), with a
    // creation date. Not linked into the chain.
    ZRCDTask* add(const std::string& name, const std::string& parent = "",
                  std::optional<Instant> date = std::nullopt);
    ZRCDTask* operator[](const std::string& name) const;

    // Adds the tasks of `tree` in order, each written "Name", "Name<Parent", "Name@date" or
    // "Name<Parent@date" ("A@100 A1<A B"), and links them in that order when `linked`.
    void grow(const std::string& tree, bool linked = true);

    // Links the named tasks in this order through the setters ("A A1 A2 B"); the first gets no
    // prevTask and the last no nextTask.
    void link(const std::string& namesInOrder);
    void link(const std::vector<ZRCDTask*>& order);

    // The chain of the forest's context, as chainOf() writes it.
    std::string chain() const;

    std::vector<ZRCDTask*> all() const;

    ManagedObjectContext& context() { return *context_; }
    ZRUndoManager& undo() { return *context_->undoManager(); }

private:
    std::unique_ptr<ManagedObjectContext> context_;
    std::map<std::string, ZRCDTask*> byName_;
};

// Everything that is wrong with the chain of the context: the three rules of a sound chain
// (one head and one tail reaching every task once; mutual links; depth-first order of the
// tree) and the tree depth. Empty when sound.
std::vector<std::string> chainProblems(const ManagedObjectContext& context);

// Names along nextTask from the single head, space separated ("A A1 B"); "<no single head>" when
// there is not exactly one head, and the walk stops at a repeated task ("... <loop>").
std::string chainOf(const ManagedObjectContext& context);

// The names of tasks, space separated.
std::string names(const std::vector<ZRCDTask*>& tasks);

// Sets a link on one side only, as a damaged store file or a merge can leave it.
void setNextOneSided(ZRCDTask* task, ZRCDTask* next);
void setPrevOneSided(ZRCDTask* task, ZRCDTask* prev);

}  // namespace ravelong::chain_testing
