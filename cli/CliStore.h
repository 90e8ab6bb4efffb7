#pragma once

#include <iosfwd>
#include <memory>

#include "app/DataLocations.h"
#include "foundation/Error.h"

namespace ravelong {

class ManagedObjectContext;
class StoreStack;

namespace cli {

// The user's store, opened by a command that works on the data directly. Only one process
// writes a store at a time: while Ravelong runs, opening fails with a message that says so.
// Questions the store would ask (an empty store file, a read-only one) are answered with the
// cautious choice, and their texts go to standard error.
class CliStore {
public:
    ~CliStore();
    CliStore(CliStore&&) noexcept;

    // The store of the data folder in $XDG_DATA_HOME (else ~/.local/share).
    static Result<CliStore> open(const DataLocations& locations = DataLocations::standard());

    StoreStack& stack() { return *stack_; }
    ManagedObjectContext& context() { return *context_; }
    // Saves the context; a failure is returned with its reason.
    Status save();

private:
    CliStore(std::unique_ptr<StoreStack> stack, ManagedObjectContext* context);

    std::unique_ptr<StoreStack> stack_;
    ManagedObjectContext* context_ = nullptr;
};

// Writes an error as "ravelong-cli: <description> <reason>" to `err`.
void printError(std::ostream& err, const Error& error);

}  // namespace cli
}  // namespace ravelong
