#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/BackgroundConnection.h"
#include "app/DataLocations.h"
#include "foundation/Error.h"
#include "store/ManagedObjectContext.h"
#include "store/ManagedObjectModel.h"
#include "store/PersistentStore.h"

namespace ravelong {

// The models and upgrades a StoreStack opens its files with.
struct StoreModels {
    const ManagedObjectModel* current = nullptr;  // the store of this version
    const ManagedObjectModel* legacy = nullptr;   // the store of versions up to 1.2.4
    StoreOptions options;                         // upgrades of older current-model files

    // ravelongModel(), ravelongV1Model() and ravelongStoreOptions().
    static StoreModels standard();
};

// Opens the program's store files and owns the contexts on them: the main context, the legacy
// context, and the second connection for background reads.
//
// Opening a store file (the live one, the legacy one, or the second connection) takes three
// steps. Without a model, "<class>:<operation> No model to generate a store from" is logged and
// nothing is opened. The folder is then checked: a missing one is created with its parents (a
// failure is presented); a file in its place is presented as YOUR_ERROR_DOMAIN 101, "Expected a
// folder to store application data, found a file (<path>)." Last, the file is opened, and a file
// of model version 13 or 14 is upgraded in place (on a copy that replaces the file only when the
// upgrade is complete). The store's refusals (not a store, a newer version, in use by another
// process, a failed upgrade) are presented with their description and reason. Every
// presentation goes through AlertPresenter::current(). A failed opening is not remembered: the
// next call tries again, the damage check included.
//
// Before the live store is opened, an empty store file (and no journal beside it) while earlier
// launches are known is taken for a lost store, not a first run: the user is asked whether to
// quit (to restore a backup) or to start with a new data file, the empty file being kept aside
// as "<file>.empty" (".empty-2" and so on when taken); the newest automatic backup, when there is
// one, is named in the question. A live store that may not be written
// (NoPermission, ReadOnlyFileSystem) is presented with the offer to open it read-only for
// looking; its saves then fail.
//
// Except where stated otherwise, members are for the main thread.
class StoreStack {
public:
    // `hadEarlierLaunches` tells whether the program ran before on this computer; without it the
    // settings are asked (a stored "ZRShowTasks", as the launch's first-run test does).
    explicit StoreStack(DataLocations locations, StoreModels models = StoreModels::standard(),
                        std::function<bool()> hadEarlierLaunches = {});
    ~StoreStack();
    StoreStack(const StoreStack&) = delete;
    StoreStack& operator=(const StoreStack&) = delete;

    const DataLocations& locations() const { return locations_; }

    // The live store, opened on first use; nullptr when it cannot be opened.
    std::shared_ptr<PersistentStore> persistentStoreCoordinator();

    // The legacy store, opened on first use; nullptr when it cannot be opened, and also (with
    // nothing presented and nothing created on disk) when there is no legacy file.
    std::shared_ptr<PersistentStore> persistentStoreCoordinatorV1();

    // The second connection to the live store file, for background reads. Callable from any
    // thread, but always made on the main thread: a caller on another thread waits until the
    // main loop (MainLoop::current()) has made it, so the main loop must be running. nullptr
    // when it cannot be opened (presented on the main thread).
    std::shared_ptr<BackgroundConnection> persistentStoreCoordinatorForBackground();
    // Drops the second connection so that the next use opens a fresh one (after the file was
    // replaced, for instance). Work that still holds the old one finishes on it. Any thread.
    void resetPersistentStoreCoordinatorForBackground();

    // The main context, made on first use: a root context on the live store whose unsaved
    // values win over those pushed in by child contexts, property by property; its undo manager
    // keeps 30 levels; its delegate is the one given to setContextDelegate.
    //
    // Without a store it presents YOUR_ERROR_DOMAIN 9999 "Failed to initialize the store" /
    // "There was an error building up the data file." (after the store's own error) and returns
    // that Error. The program cannot run without its data: the caller quits the application.
    Result<ManagedObjectContext*> managedObjectContext();

    // The legacy context, made on first use: a root context on the legacy store with no undo
    // manager. Without a legacy file it is an empty context on no store (there is nothing to
    // upgrade). A legacy file that cannot be opened gives the 9999 error as above.
    Result<ManagedObjectContext*> managedObjectContextV1();

    // A child of the main context for work on another thread (the launch repairs, restores,
    // imports): made here, then handed to the worker. Its save() pushes into the main context,
    // which must then be saved. nullptr when the main context cannot be made.
    std::unique_ptr<ManagedObjectContext> newPrivateContext();

    // Answers the newest automatic backup, named in the question about a lost (empty) store
    // file; nothing when there is none. Without it the question names no backup.
    void setNewestBackupFinder(std::function<std::optional<std::filesystem::path>()> finder);

    // The application delegate, with the program's single save path. Applies to the main context
    // now or when it is made.
    void setContextDelegate(ContextDelegate* delegate);

    // Frees a context that is no longer used (the copy of a finished private context) on a
    // thread of its own, so that freeing a large graph does not hold up the main thread. Nothing
    // may point into the context. Waited for by closeForExit and the destructor.
    void discardContext(std::unique_ptr<ManagedObjectContext> context);

    // The contexts a closed stack gives up.
    struct ClosedContexts {
        std::unique_ptr<ManagedObjectContext> main;
        std::unique_ptr<ManagedObjectContext> legacy;
    };
    // The end of the process, after the last save: drops the second connection, closes the
    // store files (see PersistentStore::close) and hands the contexts over, so that the caller
    // decides when their records are freed. Their records stay readable; saving them fails.
    // From then on the stack opens nothing: the stores and contexts are absent (logged, nothing
    // presented). Settings are not touched.
    ClosedContexts closeForExit();

private:
    std::shared_ptr<PersistentStore> openStore(const ManagedObjectModel* model,
                                               const std::filesystem::path& file,
                                               const StoreOptions& options, const char* operation,
                                               bool live);
    // False when the user chose to quit rather than replace an empty live store file.
    bool acceptEmptyStoreFile(const std::filesystem::path& file);
    std::shared_ptr<BackgroundConnection> openBackgroundConnection();
    Result<ManagedObjectContext*> contextFailed();
    // After closeForExit: logs that `operation` opens nothing and answers true.
    bool refuseAfterExit(const char* operation) const;

    DataLocations locations_;
    StoreModels models_;
    std::function<bool()> hadEarlierLaunches_;
    std::function<std::optional<std::filesystem::path>()> newestBackup_;
    ContextDelegate* delegate_ = nullptr;
    // The user chose to quit at a question of the opening: nothing more is presented.
    bool declinedToOpen_ = false;

    std::shared_ptr<PersistentStore> store_;
    std::shared_ptr<PersistentStore> legacyStore_;
    std::unique_ptr<ManagedObjectContext> mainContext_;
    std::unique_ptr<ManagedObjectContext> legacyContext_;

    std::mutex backgroundMutex_;
    std::shared_ptr<BackgroundConnection> background_;

    std::thread discarding_;
    bool closedForExit_ = false;
};

}  // namespace ravelong
