#include "exchange/csv/CsvImportRunner.h"

#include <algorithm>

#include "app/StoreStack.h"
#include "exchange/csv/CsvEncoding.h"
#include "foundation/MainLoop.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::csv {

CsvImportRunner::CsvImportRunner(CsvImporter& importer, MainLoop& loop)
    : importer_(importer), loop_(loop) {}

CsvImportRunner::~CsvImportRunner() {
    alive_->store(false);
    if (worker_.joinable())
        worker_.join();
}

bool CsvImportRunner::run(const std::filesystem::path& file, const CsvImportMapping& mapping,
                          std::int64_t expectedRows,
                          std::function<void(std::int64_t, std::int64_t)> progress,
                          std::function<void(Result<CsvImporter::Outcome>)> finished) {
    if (busy_)
        return false;
    StoreStack& stack = importer_.stack();
    // The copy is made here, on the main thread; the worker alone uses it afterwards.
    std::shared_ptr<ManagedObjectContext> copy(stack.newPrivateContext());
    if (!stack.managedObjectContext().ok() || !copy) {
        finished(Error{kCsvErrorDomain, 0, "The data could not be prepared for the import.", {}});
        return true;
    }
    if (worker_.joinable())
        worker_.join();  // the previous one has handed its result over already
    busy_ = true;
    const Instant now = importer_.clock().now();
    worker_ = std::thread(
        [this, file, mapping, expectedRows, now, copy, progress, finished, alive = alive_] {
            const std::int64_t total = std::max<std::int64_t>(expectedRows, 1);
            const std::int64_t step = total / 100 + 1;
            std::int64_t done = 0;
            auto outcome = std::make_shared<Result<CsvImporter::Outcome>>(
                importer_.importInto(file, mapping, *copy, now, [&] {
                    ++done;
                    if (progress && done % step == 0)
                        loop_.runOnMainThread([progress, done, total, alive] {
                            if (alive->load())
                                progress(done, total);
                        });
                }));
            loop_.runOnMainThread([this, copy, outcome, finished, alive] {
                if (!alive->load())
                    return;
                if (outcome->ok()) {
                    if (Status committed = importer_.commit(*copy); !committed.ok())
                        *outcome = committed.error();
                }
                busy_ = false;
                finished(std::move(*outcome));
            });
        });
    return true;
}

}  // namespace ravelong::csv
