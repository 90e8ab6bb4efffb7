#include "app/StoreStack.h"

#include <future>
#include <system_error>

#include "app/AppStrings.h"
#include "app/LaunchTexts.h"
#include "app/RavelongMigrations.h"
#include "app/ZRUserDefaults2.h"
#include "app/legacy/RavelongV1Model.h"
#include "core/model/RavelongModel.h"
#include "foundation/AlertPresenter.h"
#include "foundation/Log.h"
#include "foundation/MainLoop.h"
#include "store/StoreError.h"
#include "store/ZRUndoManager.h"

namespace ravelong {

namespace {

constexpr std::size_t kLevelsOfUndo = 30;

// The folder a store file lives in: created when missing; a file in its place is refused.
Status checkStoreFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    const auto status = std::filesystem::status(folder, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            return storeError(StoreErrorCode::CannotOpen,
                              "The folder " + folder.string() + " could not be created.",
                              ec.message());
        }
        return Status::success();
    }
    if (ec) {
        return storeError(StoreErrorCode::CannotOpen,
                          "The folder " + folder.string() + " cannot be used.", ec.message());
    }
    if (!std::filesystem::is_directory(status)) {
        return Error{std::string(kYourErrorDomain), kFileWhereFolderExpectedCode,
                     formatText(kExpectedFolderFoundFile, {folder.string()}), ""};
    }
    return Status::success();
}

bool checkModel(const ManagedObjectModel* model, const char* operation) {
    if (model)
        return true;
    logError("StoreStack", formatText(kNoModelToGenerateAStoreFrom, {"StoreStack", operation}));
    return false;
}

Error mainContextError() {
    return Error{std::string(kYourErrorDomain), kMainContextFailedCode,
                 std::string(kFailedToInitializeTheStore),
                 std::string(kErrorBuildingUpTheDataFile)};
}

}  // namespace

StoreModels StoreModels::standard() {
    return StoreModels{&ravelongModel(), &ravelongV1Model(), ravelongStoreOptions()};
}

StoreStack::StoreStack(DataLocations locations, StoreModels models,
                       std::function<bool()> hadEarlierLaunches)
    : locations_(std::move(locations)),
      models_(std::move(models)),
      hadEarlierLaunches_(hadEarlierLaunches ? std::move(hadEarlierLaunches)
                                             : [] { return ZRUserDefaults2::exists(); }) {}

// Contexts go before the stores they were loaded from.
StoreStack::~StoreStack() {
    if (discarding_.joinable())
        discarding_.join();
    mainContext_.reset();
    legacyContext_.reset();
}

void StoreStack::discardContext(std::unique_ptr<ManagedObjectContext> context) {
    if (!context)
        return;
    if (discarding_.joinable())
        discarding_.join();
    try {
        discarding_ = std::thread([doomed = std::move(context)]() mutable { doomed.reset(); });
    } catch (const std::system_error& error) {
        // The context was moved into the thread's function, which is gone now: it was freed here.
        logError("StoreStack", std::string("no thread to free a context on: ") + error.what());
    }
}

StoreStack::ClosedContexts StoreStack::closeForExit() {
    closedForExit_ = true;
    if (discarding_.joinable())
        discarding_.join();
    {
        // Dropped first, so that the main connection is the last one and writes the journal
        // back into the file. Work that still holds it finishes on it.
        std::lock_guard lock(backgroundMutex_);
        background_.reset();
    }
    if (store_)
        store_->close();
    if (legacyStore_)
        legacyStore_->close();
    store_.reset();
    legacyStore_.reset();
    return ClosedContexts{std::move(mainContext_), std::move(legacyContext_)};
}

bool StoreStack::refuseAfterExit(const char* operation) const {
    if (!closedForExit_)
        return false;
    logError("StoreStack", std::string(operation) + ": the store files are closed for the exit");
    return true;
}

void StoreStack::setNewestBackupFinder(
    std::function<std::optional<std::filesystem::path>()> finder) {
    newestBackup_ = std::move(finder);
}

bool StoreStack::acceptEmptyStoreFile(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) != 0 ||
        ec)
        return true;
    // A journal may still hold every page of the file: SQLite reads it back when it opens.
    const std::filesystem::path journal = file.string() + "-wal";
    if (std::filesystem::exists(journal, ec) && std::filesystem::file_size(journal, ec) > 0)
        return true;
    if (!hadEarlierLaunches_())
        return true;

    std::filesystem::path aside = file.string() + ".empty";
    for (int n = 2; std::filesystem::exists(aside, ec); ++n)
        aside = file.string() + ".empty-" + std::to_string(n);
    Alert alert;
    alert.messageText = formatText(launch_texts::kDataFileIsEmpty, {file.string()});
    alert.informativeText = formatText(launch_texts::kDataFileIsEmptyInfo, {aside.string()});
    if (newestBackup_) {
        if (const std::optional<std::filesystem::path> backup = newestBackup_()) {
            alert.informativeText +=
                " " + formatText(launch_texts::kNewestAutomaticBackup, {backup->string()});
        }
    }
    alert.buttons = {std::string(launch_texts::kQuit),
                     std::string(launch_texts::kStartWithNewDataFile)};
    alert.style = Alert::Style::Critical;
    logError("StoreStack", alert.messageText);
    if (AlertPresenter::current().runModal(alert).buttonIndex != 1) {
        declinedToOpen_ = true;
        return false;
    }
    std::filesystem::rename(file, aside, ec);
    if (ec) {
        AlertPresenter::current().presentError(
            storeError(StoreErrorCode::CannotOpen, "The empty data file could not be kept aside.",
                       file.string() + ": " + ec.message()));
        declinedToOpen_ = true;
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        if (std::filesystem::exists(file.string() + suffix, ec))
            std::filesystem::rename(file.string() + suffix, aside.string() + suffix, ec);
    }
    logInfo("StoreStack", "kept the empty data file as " + aside.string());
    return true;
}

std::shared_ptr<PersistentStore> StoreStack::openStore(const ManagedObjectModel* model,
                                                       const std::filesystem::path& file,
                                                       const StoreOptions& options,
                                                       const char* operation, bool live) {
    if (refuseAfterExit(operation) || !checkModel(model, operation))
        return nullptr;
    if (Status folder = checkStoreFolder(file.parent_path()); !folder) {
        AlertPresenter::current().presentError(folder.error());
        return nullptr;
    }
    if (live && !acceptEmptyStoreFile(file))
        return nullptr;
    auto opened = PersistentStore::open(file, *model, options);
    if (!opened) {
        const Error& error = opened.error();
        logError("StoreStack", error.description + " " + error.failureReason);
        const auto code = static_cast<StoreErrorCode>(error.code);
        if (!live || error.domain != kStoreErrorDomain ||
            (code != StoreErrorCode::NoPermission && code != StoreErrorCode::ReadOnlyFileSystem)) {
            AlertPresenter::current().presentError(error);
            return nullptr;
        }
        Alert offer;
        offer.messageText = error.description;
        offer.informativeText =
            error.failureReason + "\n\n" + std::string(launch_texts::kOpenReadOnlyOffer);
        offer.buttons = {std::string(launch_texts::kQuit),
                         std::string(launch_texts::kOpenReadOnly)};
        if (AlertPresenter::current().runModal(offer).buttonIndex != 1) {
            declinedToOpen_ = true;
            return nullptr;
        }
        StoreOptions looking = options;
        looking.readOnly = true;
        opened = PersistentStore::open(file, *model, looking);
        if (!opened) {
            logError("StoreStack", opened.error().description);
            AlertPresenter::current().presentError(opened.error());
            return nullptr;
        }
        logInfo("StoreStack", "opened " + file.string() + " read-only");
    }
    return opened.value();
}

std::shared_ptr<PersistentStore> StoreStack::persistentStoreCoordinator() {
    if (!store_) {
        store_ = openStore(models_.current, locations_.storeURL(), models_.options,
                           "persistentStoreCoordinator", true);
    }
    return store_;
}

std::shared_ptr<PersistentStore> StoreStack::persistentStoreCoordinatorV1() {
    if (legacyStore_)
        return legacyStore_;
    // Only the one-time upgrade reads the legacy store. Making an empty one where there was none
    // would leave a file in the legacy folder, and the launch would take that for old data to
    // upgrade, on every start.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(locations_.storeURLV1(), ec))
        return nullptr;
    legacyStore_ = openStore(models_.legacy, locations_.storeURLV1(), StoreOptions{},
                             "persistentStoreCoordinatorV1", false);
    return legacyStore_;
}

std::shared_ptr<BackgroundConnection> StoreStack::openBackgroundConnection() {
    {
        std::lock_guard lock(backgroundMutex_);
        if (background_)
            return background_;
    }
    // No lock while presenting: an alert may run a nested event loop that asks again.
    if (refuseAfterExit("persistentStoreCoordinatorForBackground") ||
        !checkModel(models_.current, "persistentStoreCoordinatorForBackground"))
        return nullptr;
    const std::filesystem::path file = locations_.storeURL();
    if (Status folder = checkStoreFolder(file.parent_path()); !folder) {
        AlertPresenter::current().presentError(folder.error());
        return nullptr;
    }
    auto reader = BackgroundReader::open(file, *models_.current);
    if (!reader) {
        logError("StoreStack", reader.error().description + " " + reader.error().failureReason);
        AlertPresenter::current().presentError(reader.error());
        return nullptr;
    }
    std::lock_guard lock(backgroundMutex_);
    if (!background_)
        background_ = std::make_shared<BackgroundConnection>(std::move(reader.value()));
    return background_;
}

std::shared_ptr<BackgroundConnection> StoreStack::persistentStoreCoordinatorForBackground() {
    MainLoop& loop = MainLoop::current();
    if (loop.isMainThread())
        return openBackgroundConnection();
    {
        std::lock_guard lock(backgroundMutex_);
        if (background_)
            return background_;
    }
    auto made = std::make_shared<std::promise<std::shared_ptr<BackgroundConnection>>>();
    auto result = made->get_future();
    loop.runOnMainThread([this, made] { made->set_value(openBackgroundConnection()); });
    return result.get();
}

void StoreStack::resetPersistentStoreCoordinatorForBackground() {
    std::lock_guard lock(backgroundMutex_);
    background_.reset();
}

Result<ManagedObjectContext*> StoreStack::contextFailed() {
    Error error = mainContextError();
    if (declinedToOpen_)
        logError("StoreStack", error.description);
    else
        AlertPresenter::current().presentError(error);
    return error;
}

Result<ManagedObjectContext*> StoreStack::managedObjectContext() {
    if (mainContext_)
        return mainContext_.get();
    if (refuseAfterExit("managedObjectContext"))
        return mainContextError();
    std::shared_ptr<PersistentStore> store = persistentStoreCoordinator();
    if (!store)
        return contextFailed();
    auto opened = ManagedObjectContext::openMainContext(store);
    if (!opened) {
        logError("StoreStack", opened.error().description + " " + opened.error().failureReason);
        AlertPresenter::current().presentError(opened.error());
        // The next attempt opens the file again, and checks it again.
        store->close();
        store_.reset();
        return contextFailed();
    }
    mainContext_ = std::move(opened.value());
    mainContext_->setUndoManager(std::make_unique<ZRUndoManager>(kLevelsOfUndo));
    mainContext_->setDelegate(delegate_);
    return mainContext_.get();
}

Result<ManagedObjectContext*> StoreStack::managedObjectContextV1() {
    if (legacyContext_)
        return legacyContext_.get();
    if (refuseAfterExit("managedObjectContextV1"))
        return mainContextError();
    if (!models_.legacy) {
        checkModel(models_.legacy, "managedObjectContextV1");
        return contextFailed();
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(locations_.storeURLV1(), ec)) {
        legacyContext_ = std::make_unique<ManagedObjectContext>(*models_.legacy);
        return legacyContext_.get();
    }
    std::shared_ptr<PersistentStore> store = persistentStoreCoordinatorV1();
    if (!store)
        return contextFailed();
    auto opened = ManagedObjectContext::openMainContext(store);
    if (!opened) {
        logError("StoreStack", opened.error().description + " " + opened.error().failureReason);
        AlertPresenter::current().presentError(opened.error());
        store->close();
        legacyStore_.reset();
        return contextFailed();
    }
    legacyContext_ = std::move(opened.value());
    return legacyContext_.get();
}

std::unique_ptr<ManagedObjectContext> StoreStack::newPrivateContext() {
    auto main = managedObjectContext();
    if (!main)
        return nullptr;
    return (*main)->newChildContext();
}

void StoreStack::setContextDelegate(ContextDelegate* delegate) {
    delegate_ = delegate;
    if (mainContext_)
        mainContext_->setDelegate(delegate);
}

}  // namespace ravelong
