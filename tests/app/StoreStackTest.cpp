#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "app/DataLocations.h"
#include "app/StoreStack.h"
#include "app/legacy/CoreDataTask.h"
#include "app/legacy/CoreDataTimedEntry.h"
#include "app/legacy/CoreDataUniqueID.h"
#include "app/legacy/RavelongV1Model.h"
#include "core/model/RavelongModel.h"
#include "core/model/ZRCDTask.h"
#include "store/SqliteDatabase.h"
#include "store/StoreError.h"
#include "store/ZRUndoManager.h"
#include "support/ScopedTmpfs.h"
#include "support/VirtualMainLoop.h"
#include "tests/app/AppTestSupport.h"

namespace ravelong {
namespace {

using app_testing::AppEnvironment;

TEST(DataLocations, KeepTheFoldersOfEveryGenerationBelowTheTwoRoots) {
    const DataLocations locations = DataLocations::inDataFolder("/home/ada/.local/share");
    const std::string group = "/home/ada/.local/share/ravelong-group/Library/Application Support/";
    EXPECT_EQ(locations.applicationFilesDirectory(), "/home/ada/.local/share/Ravelong");
    EXPECT_EQ(locations.storeURLV1(), "/home/ada/.local/share/Ravelong/Ravelong.sqlite");
    EXPECT_EQ(locations.oldGroupApplicationFilesDirectory(), group + "Ravelong");
    EXPECT_EQ(locations.groupApplicationFilesDirectory(), group + "Ravelong2");
    EXPECT_EQ(locations.storeURL(), group + "Ravelong2/RavelongDB.sqlite");
    EXPECT_EQ(locations.backupDirectory(), group + "Backup");
    EXPECT_EQ(locations.transferDirectory(), group + "Transfer");
}

TEST(DataLocations, FollowXdgDataHomeOnlyWhenItIsAbsolute) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(DataLocations::standard().applicationSupportFolder(), "/srv/data");
    EXPECT_EQ(DataLocations::standard().sharedContainer(), "/srv/data/ravelong-group");
    setenv("XDG_DATA_HOME", "relative/data", 1);
    EXPECT_EQ(DataLocations::standard().applicationSupportFolder().filename(), "share");
    if (saved)
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

class StoreStackTest : public ::testing::Test {
protected:
    AppEnvironment environment;
    DataLocations locations = DataLocations::inDataFolder(environment.folder());

    const std::vector<Alert>& alerts() { return environment.alerts().shownAlerts(); }
};

TEST_F(StoreStackTest, ANewStoreIsMadeInANewFolderWithUndoAndTheDelegate) {
    struct Delegate : ContextDelegate {
        bool saveContext(ManagedObjectContext& context) override { return context.save().ok(); }
    } delegate;
    StoreStack stack(locations);
    stack.setContextDelegate(&delegate);
    auto context = stack.managedObjectContext();
    ASSERT_TRUE(context.ok());
    EXPECT_TRUE(std::filesystem::is_regular_file(locations.storeURL()));
    EXPECT_EQ((*context)->delegate(), &delegate);
    ASSERT_NE((*context)->undoManager(), nullptr);
    EXPECT_EQ((*context)->undoManager()->levelsOfUndo(), 30u);
    EXPECT_EQ(stack.managedObjectContext().value(), *context);  // made once
    EXPECT_TRUE(alerts().empty());
}

TEST_F(StoreStackTest, AFileWhereTheFolderShouldBeStopsWithError101AndThen9999) {
    std::filesystem::create_directories(locations.groupApplicationFilesDirectory().parent_path());
    app_testing::writeFileBytes(locations.groupApplicationFilesDirectory(), "not a folder");

    StoreStack stack(locations);
    EXPECT_EQ(stack.persistentStoreCoordinator(), nullptr);
    auto context = stack.managedObjectContext();
    ASSERT_FALSE(context.ok());
    EXPECT_EQ(context.error(), (Error{"YOUR_ERROR_DOMAIN", 9999, "Failed to initialize the store",
                                      "There was an error building up the data file."}));
    // The folder refusal, once for each attempt, then the context failure.
    ASSERT_EQ(alerts().size(), 3u);
    EXPECT_EQ(alerts()[0].messageText,
              "Expected a folder to store application data, found a file (" +
                  locations.groupApplicationFilesDirectory().string() + ").");
    EXPECT_EQ(alerts()[1], alerts()[0]);
    EXPECT_EQ(alerts()[2].messageText, "Failed to initialize the store");
    EXPECT_EQ(alerts()[2].informativeText, "There was an error building up the data file.");
    EXPECT_EQ(app_testing::readFile(locations.groupApplicationFilesDirectory()), "not a folder");
}

TEST_F(StoreStackTest, AFolderThatCannotBeMadeIsPresented) {
    // A file where a parent folder should be: the store folder cannot be created below it.
    std::filesystem::create_directories(locations.sharedContainer());
    app_testing::writeFileBytes(locations.sharedContainer() / "Library", "");
    StoreStack stack(locations);
    EXPECT_EQ(stack.persistentStoreCoordinator(), nullptr);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_NE(alerts()[0].messageText.find("could not be created"), std::string::npos);
}

TEST_F(StoreStackTest, FilesTheStoreCannotReadArePresentedAndLeftAlone) {
    struct Case {
        const char* name;
        std::string bytes;
        StoreErrorCode code;
    };
    std::string newer;
    {
        // A store written by a later version of the program.
        std::filesystem::create_directories(locations.groupApplicationFilesDirectory());
        auto layout = store_layouts::layoutOfVersion15();
        layout.version = 16;
        app_testing::createFileOfLayout(locations.storeURL(), layout);
        newer = app_testing::readFile(locations.storeURL());
    }
    const Case cases[] = {
        {"newer model version", newer, StoreErrorCode::NewerModelVersion},
        {"not a store", std::string(4096, 'x'), StoreErrorCode::NotAStore},
        {"damaged store", newer.substr(0, 100) + std::string(4000, '\0'), StoreErrorCode::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app_testing::writeFileBytes(locations.storeURL(), c.bytes);
        const std::size_t first = alerts().size();
        {
            StoreStack stack(locations);
            ASSERT_FALSE(stack.managedObjectContext().ok());
        }
        ASSERT_EQ(alerts().size(), first + 2);
        const Alert& refusal = alerts()[first];
        EXPECT_FALSE(refusal.messageText.empty());
        EXPECT_EQ(alerts()[first + 1].messageText, "Failed to initialize the store");
        EXPECT_EQ(app_testing::readFile(locations.storeURL()), c.bytes);
        auto direct = PersistentStore::open(locations.storeURL(), ravelongModel());
        ASSERT_FALSE(direct.ok());
        EXPECT_EQ(direct.error().code, static_cast<int>(c.code));
        EXPECT_EQ(refusal.messageText, direct.error().description);
        EXPECT_EQ(refusal.informativeText, direct.error().failureReason);
    }
}

TEST_F(StoreStackTest, WithoutAModelNothingIsOpenedAndTheReasonIsLogged) {
    StoreModels models = StoreModels::standard();
    models.current = nullptr;
    StoreStack stack(locations, models);
    EXPECT_EQ(stack.persistentStoreCoordinator(), nullptr);
    EXPECT_TRUE(environment.log().contains(
        "StoreStack", "StoreStack:persistentStoreCoordinator No model to generate a store from"));
    EXPECT_FALSE(std::filesystem::exists(locations.groupApplicationFilesDirectory()));
}

TEST_F(StoreStackTest, ChildContextsPushIntoTheMainContextWhoseOwnEditsWin) {
    StoreStack stack(locations);
    ManagedObjectContext& main = *stack.managedObjectContext().value();
    auto* task = main.insertNewObject<ZRCDTask>();
    task->setTaskName(std::string("Writing"));
    task->setTaskDescription(std::string("Chapter one"));
    ASSERT_TRUE(main.save().ok());

    auto child = stack.newPrivateContext();
    ASSERT_NE(child, nullptr);
    auto* copy = child->fetchAll<ZRCDTask>().front();
    task->setTaskName(std::string("Writing (main)"));  // unsaved edit on the main thread
    copy->setTaskName(std::string("Writing (child)"));
    copy->setTaskDescription(std::string("Chapter two"));
    ASSERT_TRUE(child->save().ok());

    EXPECT_EQ(task->taskName(), "Writing (main)");
    EXPECT_EQ(task->taskDescription(), "Chapter two");
}

TEST_F(StoreStackTest, TheBackgroundConnectionIsMadeOnTheMainThreadAndReadsWhatWasSaved) {
    VirtualMainLoop loop(environment.clock());
    ScopedMainLoop scopedLoop(loop);
    StoreStack stack(locations);
    ManagedObjectContext& main = *stack.managedObjectContext().value();
    main.insertNewObject<ZRCDTask>()->setTaskName(std::string("First"));
    ASSERT_TRUE(main.save().ok());

    auto fromWorker = std::async(std::launch::async, [&] {
        auto connection = stack.persistentStoreCoordinatorForBackground();
        auto context = connection ? connection->loadContext() : Error{};
        return std::make_pair(connection, context.ok() ? (*context)->count<ZRCDTask>() : 0);
    });
    // The worker waits for the main thread.
    EXPECT_EQ(fromWorker.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    while (fromWorker.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        loop.runPending();
    auto [connection, tasks] = fromWorker.get();
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(tasks, 1u);
    EXPECT_EQ(stack.persistentStoreCoordinatorForBackground(), connection);

    main.insertNewObject<ZRCDTask>()->setTaskName(std::string("Second"));
    ASSERT_TRUE(main.save().ok());
    stack.resetPersistentStoreCoordinatorForBackground();
    auto fresh = stack.persistentStoreCoordinatorForBackground();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, connection);
    EXPECT_EQ(fresh->loadContext().value()->count<ZRCDTask>(), 2u);
    // The old one still serves whoever holds it.
    EXPECT_EQ(connection->loadContext().value()->count<ZRCDTask>(), 2u);
}

TEST_F(StoreStackTest, ClosingForTheExitClosesTheFilesAndHandsOverTheContexts) {
    VirtualMainLoop loop(environment.clock());
    ScopedMainLoop scopedLoop(loop);
    StoreStack stack(locations);
    ManagedObjectContext* main = stack.managedObjectContext().value();
    main->insertNewObject<ZRCDTask>()->setTaskName(std::string("Kept"));
    ASSERT_TRUE(main->save().ok());
    ASSERT_NE(stack.persistentStoreCoordinatorForBackground(), nullptr);
    stack.discardContext(stack.newPrivateContext());  // freed beside the main thread
    ManagedObjectContext* legacy = stack.managedObjectContextV1().value();

    StoreStack::ClosedContexts closed = stack.closeForExit();
    EXPECT_EQ(closed.main.get(), main);
    EXPECT_EQ(closed.legacy.get(), legacy);
    // Both connections are closed: the journal is back in the file and the lock is free.
    EXPECT_FALSE(std::filesystem::exists(locations.storeURL().string() + "-wal"));
    auto reopened = PersistentStore::open(locations.storeURL(), ravelongModel());
    ASSERT_TRUE(reopened.ok()) << reopened.error().description;
    EXPECT_EQ(ManagedObjectContext::openMainContext(reopened.value()).value()->count<ZRCDTask>(),
              1u);

    // The records can still be read; nothing is opened again, and nothing is presented.
    EXPECT_EQ(closed.main->fetchAll<ZRCDTask>().front()->taskName(), "Kept");
    closed.main->insertNewObject<ZRCDTask>();
    EXPECT_FALSE(closed.main->save().ok());
    EXPECT_FALSE(stack.managedObjectContext().ok());
    EXPECT_FALSE(stack.managedObjectContextV1().ok());
    EXPECT_EQ(stack.persistentStoreCoordinator(), nullptr);
    EXPECT_EQ(stack.persistentStoreCoordinatorForBackground(), nullptr);
    EXPECT_EQ(stack.newPrivateContext(), nullptr);
    EXPECT_TRUE(environment.log().contains(
        "StoreStack", "managedObjectContext: the store files are closed for the exit"));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(StoreStackTest, WithoutALegacyFileTheLegacyContextIsEmptyAndNothingIsWritten) {
    StoreStack stack(locations);
    EXPECT_EQ(stack.persistentStoreCoordinatorV1(), nullptr);
    auto legacy = stack.managedObjectContextV1();
    ASSERT_TRUE(legacy.ok());
    EXPECT_EQ((*legacy)->count<CoreDataTask>(), 0u);
    EXPECT_EQ((*legacy)->undoManager(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(locations.applicationFilesDirectory()));
    EXPECT_TRUE(alerts().empty());
}

TEST_F(StoreStackTest, TheLegacyContextReadsALegacyStore) {
    std::filesystem::create_directories(locations.applicationFilesDirectory());
    {
        auto store = PersistentStore::open(locations.storeURLV1(), ravelongV1Model());
        ASSERT_TRUE(store.ok());
        auto context = ManagedObjectContext::openMainContext(store.value()).value();
        auto* parent = context->insertNewObject<CoreDataTask>();
        parent->setTaskName(std::string("Clients"));
        auto* child = context->insertNewObject<CoreDataTask>();
        child->setTaskName(std::string("Acme"));
        child->setParentTask(parent);
        child->setViewPosition(3);
        auto* entry = context->insertNewObject<CoreDataTimedEntry>();
        entry->setTask(child);
        entry->setTimezoneOffset(3600);
        entry->setMaxDate(CoreDataTimedEntry::kNoMaxDate);
        auto* uid = context->insertNewObject<CoreDataUniqueID>();
        uid->setTimedEntry(entry);
        uid->setTask(child);
        uid->setUid(42);
        ASSERT_TRUE(context->save().ok());
    }
    StoreStack stack(locations);
    auto legacy = stack.managedObjectContextV1();
    ASSERT_TRUE(legacy.ok());
    auto tasks = (*legacy)->fetchAll<CoreDataTask>();
    ASSERT_EQ(tasks.size(), 2u);
    CoreDataTask* child = tasks[0]->parentTask() ? tasks[0] : tasks[1];
    EXPECT_EQ(child->taskName(), "Acme");
    EXPECT_EQ(child->parentTask()->taskName(), "Clients");
    EXPECT_EQ(child->viewPosition(), 3);
    ASSERT_EQ(child->timedEntries().size(), 1u);
    CoreDataTimedEntry* entry = *child->timedEntries().begin();
    EXPECT_EQ(entry->timezoneOffset(), 3600);
    EXPECT_EQ(entry->maxDate(), CoreDataTimedEntry::kNoMaxDate);
    ASSERT_EQ(entry->uniqueIDs().size(), 1u);
    EXPECT_EQ((*entry->uniqueIDs().begin())->uid(), 42);
    EXPECT_EQ((*entry->uniqueIDs().begin())->task(), child);
}

TEST_F(StoreStackTest, ACurrentStoreInThePlaceOfTheLegacyOneIsRefusedUntouched) {
    std::filesystem::create_directories(locations.applicationFilesDirectory());
    { ASSERT_TRUE(PersistentStore::open(locations.storeURLV1(), ravelongModel()).ok()); }
    const std::string before = app_testing::readFile(locations.storeURLV1());
    StoreStack stack(locations);
    auto legacy = stack.managedObjectContextV1();
    ASSERT_FALSE(legacy.ok());
    EXPECT_EQ(legacy.error().code, 9999);
    ASSERT_EQ(alerts().size(), 2u);
    EXPECT_EQ(alerts()[0].messageText, "The data file was written by a newer version of Ravelong.");
    EXPECT_EQ(app_testing::readFile(locations.storeURLV1()), before);
}

TEST_F(StoreStackTest, AnEmptyStoreFileAfterEarlierLaunchesIsALostStoreNotAFirstRun) {
    struct Case {
        const char* name;
        bool earlierLaunches;
        int answer;  // 0 "Quit", 1 "Start with a New Data File"
        bool opens;
        bool asks;
        bool backupExists;  // the newest automatic backup is named in the question
    };
    const Case cases[] = {
        {"first run", false, 0, true, false, true},
        {"lost store, quit", true, 0, false, true, true},
        {"lost store, new one", true, 1, true, true, false},
    };
    const std::filesystem::path backup = "/backups/Ravelong Backup 2024-03-05 (1709650000).xml";
    const std::filesystem::path file = locations.storeURL();
    const std::filesystem::path aside = file.string() + ".empty";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(aside);
        std::filesystem::create_directories(file.parent_path());
        app_testing::writeFileBytes(file, "");
        const std::size_t first = alerts().size();
        if (c.asks)
            environment.alerts().queueButton(c.answer);
        StoreStack stack(locations, StoreModels::standard(), [&] { return c.earlierLaunches; });
        stack.setNewestBackupFinder([&]() -> std::optional<std::filesystem::path> {
            if (c.backupExists)
                return backup;
            return std::nullopt;
        });
        EXPECT_EQ(stack.managedObjectContext().ok(), c.opens);
        if (!c.asks) {
            EXPECT_EQ(alerts().size(), first);
            EXPECT_FALSE(std::filesystem::exists(aside));
            continue;
        }
        // Only the question: choosing to quit is not followed by "Failed to initialize".
        ASSERT_EQ(alerts().size(), first + 1);
        const Alert& question = alerts()[first];
        EXPECT_EQ(question.messageText, "Your Ravelong data file " + file.string() + " is empty.");
        EXPECT_NE(question.informativeText.find(aside.string()), std::string::npos);
        const bool namesBackup =
            question.informativeText.find("Your newest automatic backup is " + backup.string() +
                                          ".") != std::string::npos;
        EXPECT_EQ(namesBackup, c.backupExists);
        ASSERT_EQ(question.buttons.size(), 2u);
        EXPECT_EQ(question.buttons[0], "Quit");
        if (c.opens) {
            EXPECT_TRUE(std::filesystem::is_regular_file(aside));
            EXPECT_EQ(std::filesystem::file_size(aside), 0u);
            EXPECT_GT(std::filesystem::file_size(file), 0u);
        } else {
            EXPECT_FALSE(std::filesystem::exists(aside));
            EXPECT_EQ(std::filesystem::file_size(file), 0u);
        }
    }
}

TEST_F(StoreStackTest, ADamagedStoreIsRefusedAtEveryAttempt) {
    const std::filesystem::path file = locations.storeURL();
    {
        StoreStack stack(locations);
        ASSERT_TRUE(stack.managedObjectContext().ok());
        for (int i = 0; i < 50; ++i)
            stack.managedObjectContext().value()->insertNewObject<ZRCDTask>()->setTaskName(
                std::string("task"));
        ASSERT_TRUE(stack.managedObjectContext().value()->save().ok());
        (void)stack.closeForExit();
    }
    std::int64_t root = 0;
    std::int64_t pageSize = 0;
    {
        auto db = SqliteDatabase::open(file, SqliteDatabase::Mode::ReadWrite);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->execute("CREATE INDEX damageProbe ON ZRCDTask(pk)").ok());
        root = db.value()
                   ->queryInt("SELECT rootpage FROM sqlite_master WHERE name = 'damageProbe'")
                   .value();
        pageSize = db.value()->queryInt("PRAGMA page_size").value();
    }
    std::string bytes = app_testing::readFile(file);
    for (std::int64_t i = 0; i < pageSize; ++i)
        bytes[static_cast<std::size_t>((root - 1) * pageSize + i)] = static_cast<char>(0x5a ^ i);
    app_testing::writeFileBytes(file, bytes);

    StoreStack stack(locations);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        const std::size_t first = alerts().size();
        ASSERT_FALSE(stack.managedObjectContext().ok());
        ASSERT_EQ(alerts().size(), first + 2);
        EXPECT_NE(alerts()[first].messageText.find("is damaged"), std::string::npos);
    }
    (void)stack.closeForExit();
    EXPECT_EQ(app_testing::readFile(file), bytes);
}

TEST_F(StoreStackTest, AStoreThatCannotBeWrittenIsOfferedForLookingOnly) {
    const std::filesystem::path file = locations.storeURL();
    testing::ScopedTmpfs disk(file.parent_path(), "4m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a tmpfs is not permitted here";
    {
        StoreStack stack(locations);
        ASSERT_TRUE(stack.managedObjectContext().ok());
        stack.managedObjectContext().value()->insertNewObject<ZRCDTask>()->setTaskName(
            std::string("kept"));
        ASSERT_TRUE(stack.managedObjectContext().value()->save().ok());
        (void)stack.closeForExit();
    }
    ASSERT_TRUE(disk.remount(true));
    for (int answer : {0, 1}) {
        SCOPED_TRACE(answer);
        const std::size_t first = alerts().size();
        environment.alerts().queueButton(answer);
        StoreStack stack(locations);
        auto context = stack.managedObjectContext();
        ASSERT_GE(alerts().size(), first + 1);
        const Alert& offer = alerts()[first];
        EXPECT_NE(offer.messageText.find("read-only"), std::string::npos);
        EXPECT_NE(offer.messageText.find(file.parent_path().string()), std::string::npos);
        EXPECT_NE(offer.informativeText.find("open the data file read-only"), std::string::npos);
        ASSERT_EQ(offer.buttons.size(), 2u);
        EXPECT_EQ(offer.buttons[1], "Open Read-Only");
        if (answer == 0) {
            EXPECT_FALSE(context.ok());
            EXPECT_EQ(alerts().size(), first + 1);
            continue;
        }
        ASSERT_TRUE(context.ok());
        EXPECT_EQ((*context)->count<ZRCDTask>(), 1u);
        (*context)->insertNewObject<ZRCDTask>()->setTaskName(std::string("not kept"));
        Status saved = (*context)->save();
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.error().code, static_cast<int>(StoreErrorCode::NoPermission));
        (void)stack.closeForExit();
    }
}

}  // namespace
}  // namespace ravelong
