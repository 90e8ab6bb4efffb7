#include "exchange/BackupReadController.h"

#include "app/StoreStack.h"
#include "exchange/BackupTexts.h"
#include "exchange/ZRAutomaticBackup.h"
#include "foundation/MainLoop.h"

namespace ravelong {

BackupReadController::BackupReadController(StoreStack& stack, MainLoop& loop)
    : stack_(stack), loop_(loop) {}

BackupReadController::~BackupReadController() {
    alive_->store(false);
    if (worker_.joinable())
        worker_.join();
}

void BackupReadController::startWorker(std::function<void()> work) {
    if (worker_.joinable())
        worker_.join();  // the previous one has handed its result over already
    busy_ = true;
    worker_ = std::thread(std::move(work));
}

bool BackupReadController::check(const std::filesystem::path& file,
                                 std::function<void(Result<BackupFileInfo>)> finished) {
    if (busy_)
        return false;
    startWorker([this, file, finished = std::move(finished), alive = alive_] {
        auto info = std::make_shared<Result<BackupFileInfo>>(checkBackupFile(file));
        loop_.runOnMainThread([this, info, finished, alive] {
            if (!alive->load())
                return;
            busy_ = false;
            finished(std::move(*info));
        });
    });
    return true;
}

bool BackupReadController::backUp(
    ZRAutomaticBackup& backup,
    std::function<void(Result<std::optional<std::filesystem::path>>)> finished) {
    if (busy_)
        return false;
    // The copy is made here, on the main thread; the worker alone uses it afterwards.
    std::shared_ptr<ManagedObjectContext> copy(stack_.newPrivateContext());
    if (!copy) {
        finished(Error{kRavelongErrorDomain, backup_texts::kBackupWriteCode,
                       "There is no store to back up.", std::string(backup_texts::kCouldNotWrite)});
        return true;
    }
    startWorker([this, &backup, copy, finished = std::move(finished), alive = alive_] {
        auto written = std::make_shared<Result<std::optional<std::filesystem::path>>>(
            backup.backupOf(*copy, true));
        loop_.runOnMainThread([this, written, finished, alive] {
            if (!alive->load())
                return;
            busy_ = false;
            finished(std::move(*written));
        });
    });
    return true;
}

bool BackupReadController::run(const BackupFileInfo& file, backup_restore::Mode mode,
                               std::function<void(std::uint64_t, std::uint64_t)> progress,
                               std::function<void(Result<backup_restore::Outcome>)> finished) {
    if (busy_)
        return false;
    auto main = stack_.managedObjectContext();
    // The copy is made here, on the main thread; the worker alone uses it afterwards.
    std::shared_ptr<ManagedObjectContext> copy(stack_.newPrivateContext());
    if (!main || !copy) {
        finished(Error{kRavelongErrorDomain, backup_texts::kBackupStoreCode,
                       "The store cannot be opened.", std::string(backup_texts::kNoChanges)});
        return true;
    }
    ManagedObjectContext* mainContext = *main;
    startWorker([this, file, mode, copy, mainContext, progress, finished, alive = alive_] {
        const std::uint64_t total = file.progressMaximum;
        const std::uint64_t step = total / 100 + 1;
        auto outcome = std::make_shared<Result<backup_restore::Outcome>>(
            backup_restore::readInto(file, *copy, mode, [&](std::uint64_t done) {
                if (progress && done % step == 0)
                    loop_.runOnMainThread([progress, done, total, alive] {
                        if (alive->load())
                            progress(done, total);
                    });
            }));
        loop_.runOnMainThread([this, copy, mainContext, mode, outcome, finished, alive] {
            if (!alive->load())
                return;
            if (*outcome) {
                if (Status committed = backup_restore::commit(*copy, *mainContext, mode);
                    !committed)
                    *outcome = committed.error();
            }
            busy_ = false;
            finished(std::move(*outcome));
        });
    });
    return true;
}

}  // namespace ravelong
