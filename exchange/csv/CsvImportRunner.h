#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "exchange/csv/CsvImporter.h"

namespace ravelong {
class MainLoop;
}

namespace ravelong::csv {

// Runs a CSV import off the main thread for a window that must stay responsive: the file is
// validated again and read into a private copy of the main context on a worker thread, which
// reports its progress; back on the main thread the copy is pushed into the main context as one
// undo step and the store saved (CsvImporter::commit), so the user's data changes all at once
// or not at all.
//
// Callbacks run on the main thread through `loop`. One import at a time: run() while one is
// running is refused (returns false). Main thread; the destructor waits for a running worker and
// drops its result, which then changes nothing.
class CsvImportRunner {
public:
    CsvImportRunner(CsvImporter& importer, MainLoop& loop);
    ~CsvImportRunner();
    CsvImportRunner(const CsvImportRunner&) = delete;
    CsvImportRunner& operator=(const CsvImportRunner&) = delete;

    bool busy() const { return busy_; }

    // `expectedRows` (the validation's good rows) is the progress maximum; progress comes as
    // (rows imported, expectedRows) at most about a hundred times.
    bool run(const std::filesystem::path& file, const CsvImportMapping& mapping,
             std::int64_t expectedRows, std::function<void(std::int64_t, std::int64_t)> progress,
             std::function<void(Result<CsvImporter::Outcome>)> finished);

private:
    CsvImporter& importer_;
    MainLoop& loop_;
    bool busy_ = false;
    std::thread worker_;
    // Cleared by the destructor: results that arrive after it are dropped.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace ravelong::csv
