#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "exchange/BackupRestore.h"

namespace ravelong {

class MainLoop;
class StoreStack;
class ZRAutomaticBackup;

// Runs the checking and the reading of a backup file, and the writing of one, off the main thread
// and hands the results back on it, for a window that must stay responsive: check() validates a
// file and computes its integrity value; run() reads a checked file into a private copy of the main
// context on a worker thread, reporting progress, and then (on the main thread) pushes it into the
// main context and saves the store, all or nothing (backup_restore::commit).
//
// Callbacks run on the main thread through `loop`. One operation at a time: a call while one is
// running is refused (returns false). Main thread; the destructor waits for a running worker.
class BackupReadController {
public:
    BackupReadController(StoreStack& stack, MainLoop& loop);
    ~BackupReadController();
    BackupReadController(const BackupReadController&) = delete;
    BackupReadController& operator=(const BackupReadController&) = delete;

    bool busy() const { return busy_; }

    bool check(const std::filesystem::path& file,
               std::function<void(Result<BackupFileInfo>)> finished);

    // Progress comes as (done, total) at most every 1/100 of the total.
    bool run(const BackupFileInfo& file, backup_restore::Mode mode,
             std::function<void(std::uint64_t, std::uint64_t)> progress,
             std::function<void(Result<backup_restore::Outcome>)> finished);

    // Writes a backup now (ZRAutomaticBackup::backupOf, forced) from a private copy of the main
    // context made here, on the main thread; the file is written on the worker. `backup` must
    // outlive the operation.
    bool backUp(ZRAutomaticBackup& backup,
                std::function<void(Result<std::optional<std::filesystem::path>>)> finished);

private:
    void startWorker(std::function<void()> work);

    StoreStack& stack_;
    MainLoop& loop_;
    bool busy_ = false;
    std::thread worker_;
    // Cleared by the destructor: results that arrive after it are dropped.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace ravelong
