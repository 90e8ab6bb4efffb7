#include "cli/CliStore.h"

#include <iostream>

#include "app/StoreStack.h"
#include "foundation/AlertPresenter.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::cli {

namespace {

// The command line cannot ask: every alert is printed and answered with its first button, which
// is the cautious one (quit, do not replace, do not open read-only).
class StandardErrorAlertPresenter final : public AlertPresenter {
public:
    AlertResponse runModal(const Alert& alert) override {
        std::cerr << "ravelong-cli: " << alert.messageText;
        if (!alert.informativeText.empty())
            std::cerr << " " << alert.informativeText;
        std::cerr << "\n";
        return {};
    }
};

StandardErrorAlertPresenter& presenter() {
    static StandardErrorAlertPresenter instance;
    return instance;
}

}  // namespace

CliStore::CliStore(std::unique_ptr<StoreStack> stack, ManagedObjectContext* context)
    : stack_(std::move(stack)), context_(context) {}

CliStore::~CliStore() = default;
CliStore::CliStore(CliStore&&) noexcept = default;

Result<CliStore> CliStore::open(const DataLocations& locations) {
    AlertPresenter::setCurrent(&presenter());
    auto stack = std::make_unique<StoreStack>(locations);
    Result<ManagedObjectContext*> context = stack->managedObjectContext();
    if (!context)
        return context.error();
    return CliStore(std::move(stack), context.value());
}

Status CliStore::save() {
    return context_->save();
}

void printError(std::ostream& err, const Error& error) {
    err << "ravelong-cli: " << error.description;
    if (!error.failureReason.empty())
        err << " " << error.failureReason;
    err << "\n";
}

}  // namespace ravelong::cli
