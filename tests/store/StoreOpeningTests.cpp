#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include "foundation/Log.h"
#include "store/SqliteDatabase.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"

namespace ravelong {
namespace {

using store_testing::TestTask;

using store_testing::fileBytes;
using store_testing::makeTask;
using store_testing::openStore;
using store_testing::saveOrThrow;

class StoreOpening : public store_testing::StoreFileTest {
protected:
    // A store with a few records, closed.
    void makeStore(int tasks = 3) {
        auto opened = openStore(path());
        for (int i = 0; i < tasks; ++i)
            makeTask(*opened.context, "Task " + std::to_string(i));
        saveOrThrow(*opened.context);
    }

    // The first column of the first row of `sql` on the file, -1 when it cannot be read.
    std::int64_t queryOr(const std::string& sql) {
        auto db = SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadOnly);
        auto n = db ? db.value()->queryInt(sql) : Result<std::int64_t>(db.error());
        return n ? n.value() : -1;
    }

    // The rows of `sql` on the file as text, a line each ("" when it cannot be read).
    std::string queryText(const std::string& sql) {
        auto db = SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadOnly);
        auto query = db ? db.value()->prepare(sql) : Result<SqliteStatement>(db.error());
        std::string text;
        while (query && query->step())
            text += std::get<std::string>(query->column(0)) + "\n";
        return text;
    }

    // No journal or upgrade copy may be left beside a file that was refused.
    void expectNothingBesideTheFile() {
        for (const char* suffix : {"-wal", "-shm", "-journal", ".upgrading"}) {
            EXPECT_FALSE(std::filesystem::exists(path().string() + suffix)) << suffix;
        }
    }
};

TEST_F(StoreOpening, CreatesAStoreOfTheCurrentVersionInWalMode) {
    makeStore();
    auto db = SqliteDatabase::open(path(), SqliteDatabase::Mode::ReadWrite);
    ASSERT_TRUE(db.ok());
    EXPECT_EQ(db.value()->queryInt("PRAGMA user_version").value(),
              store_testing::storeTestModel().version());
    EXPECT_EQ(db.value()->queryInt("SELECT count(*) FROM Task").value(), 3);
    auto mode = db.value()->prepare("PRAGMA journal_mode");
    ASSERT_TRUE(mode.ok() && mode->step());
    EXPECT_EQ(std::get<std::string>(mode->column(0)), "wal");
}

// Options with a derived table of how many tasks there are. Without `followingInserts` only
// its fill counts new tasks: a save of many then shows whether it made the table again.
StoreOptions withTaskCount(bool followingInserts) {
    DerivedTable counts;
    counts.name = "TaskCount";
    counts.source = "Task";
    counts.triggers = {"TaskCount_delete"};
    counts.create = {"CREATE TABLE TaskCount (n INTEGER NOT NULL)",
                     "CREATE TRIGGER TaskCount_delete AFTER DELETE ON Task BEGIN UPDATE "
                     "TaskCount SET n = n - 1; END"};
    if (followingInserts) {
        counts.triggers.push_back("TaskCount_insert");
        counts.create.push_back(
            "CREATE TRIGGER TaskCount_insert AFTER INSERT ON Task BEGIN UPDATE TaskCount SET n = "
            "n + 1; END");
    }
    counts.fill = "INSERT INTO TaskCount SELECT count(*) FROM Task";
    StoreOptions options;
    options.derivedTables = {counts};
    return options;
}

// A derived table is made and filled by the writable open that finds it or a trigger missing,
// followed by its triggers, and never made by a read-only open or left half made.
TEST_F(StoreOpening, DerivedTablesAreMadeAndFilledWhenMissingAndKeptByTheirTriggers) {
    const StoreOptions withCounts = withTaskCount(true);
    const auto counted = [&] { return queryOr("SELECT n FROM TaskCount"); };
    const auto openWith = [&](const StoreOptions& options) {
        auto store = PersistentStore::open(path(), store_testing::storeTestModel(), options);
        ASSERT_TRUE(store.ok()) << store.error().description;
    };

    makeStore(3);
    StoreOptions looking = withCounts;
    looking.readOnly = true;
    openWith(looking);
    EXPECT_EQ(counted(), -1);
    openWith(withCounts);
    EXPECT_EQ(counted(), 3);
    execute("INSERT INTO Task (pk) VALUES (100), (101)");
    execute("DELETE FROM Task WHERE pk = 100");
    EXPECT_EQ(counted(), 4);

    // A lost trigger would leave the count behind: the table is made again.
    execute("DROP TRIGGER TaskCount_delete");
    execute("DELETE FROM Task WHERE pk = 101");
    openWith(withCounts);
    EXPECT_EQ(counted(), 3);
    execute("DELETE FROM Task WHERE pk = (SELECT max(pk) FROM Task)");
    EXPECT_EQ(counted(), 2);

    // A table that cannot be made is no reason not to open the store, and changes nothing.
    execute("DROP TABLE TaskCount");
    const auto before = queryOr("SELECT count(*) FROM sqlite_master");
    StoreOptions broken = withCounts;
    broken.derivedTables[0].fill = "INSERT INTO TaskCount SELECT count(*) FROM NoSuchTable";
    openWith(broken);
    EXPECT_EQ(counted(), -1);
    EXPECT_EQ(queryOr("SELECT count(*) FROM sqlite_master"), before);
}

// A save of many rows (an import) makes the indexes of their table again before it ends, as they
// were, and a derived table of theirs once, with its triggers. When the save fails, it leaves
// both as they were; when only making the derived table fails, the save still keeps every
// record and only the table is left out.
TEST_F(StoreOpening, ASaveOfManyRowsMakesTheirIndexesAndTheirDerivedTableAgain) {
    StoreOptions options = withTaskCount(false);
    const auto addTasks = [&](int howMany, int failingAfter = -1) {
        auto opened = openStore(path(), options);
        for (int i = 0; i < howMany; ++i)
            makeTask(*opened.context, "Imported " + std::to_string(i));
        if (failingAfter < 0)
            return saveOrThrow(*opened.context);
        opened.store->failSaveAfterStatements(failingAfter);
        EXPECT_FALSE(opened.context->save().ok());
    };
    const auto indexes = [&] {
        return queryText(
            "SELECT name || ': ' || sql FROM sqlite_master WHERE type = 'index' AND "
            "sql IS NOT NULL ORDER BY name");
    };

    makeStore(3);
    execute("CREATE INDEX \"Task initial\" ON Task (substr(name, 1, 1)) WHERE name <> 'Task 0'");
    const std::string madeIndexes = indexes();
    ASSERT_THAT(madeIndexes, ::testing::HasSubstr("Task initial"));

    addTasks(50'000, 30'000);
    EXPECT_EQ(queryOr("SELECT count(*) FROM Task"), 3);
    EXPECT_EQ(indexes(), madeIndexes);

    addTasks(50'000);
    EXPECT_EQ(queryOr("SELECT n FROM TaskCount"), 50'003);
    EXPECT_EQ(indexes(), madeIndexes);
    EXPECT_EQ(queryText("PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(queryOr("SELECT count(*) FROM Task INDEXED BY \"Task initial\" WHERE "
                      "substr(name, 1, 1) = 'I' AND name <> 'Task 0'"),
              50'000);
    execute("DELETE FROM Task WHERE pk = (SELECT max(pk) FROM Task)");
    EXPECT_EQ(queryOr("SELECT n FROM TaskCount"), 50'002);

    // The fill refuses more than 60,000 tasks.
    options.derivedTables[0].fill =
        "INSERT INTO TaskCount SELECT CASE WHEN count(*) > 60000 THEN NULL ELSE count(*) END "
        "FROM Task";
    addTasks(50'000);
    EXPECT_EQ(queryOr("SELECT count(*) FROM Task"), 100'002);
    EXPECT_EQ(queryOr("SELECT count(*) FROM sqlite_master WHERE name LIKE 'TaskCount%'"), 0);
    EXPECT_EQ(indexes(), madeIndexes);
    EXPECT_EQ(queryText("PRAGMA integrity_check"), "ok\n");
}

TEST_F(StoreOpening, RandomBytesAreNotAStoreAndStayAsTheyWere) {
    std::mt19937 random(1234);
    std::string bytes(8192, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    std::ofstream(path(), std::ios::binary) << bytes;

    EXPECT_EQ(openError(), code(StoreErrorCode::NotAStore));
    EXPECT_TRUE(fileBytes(path()) == bytes) << "the file was changed";
    expectNothingBesideTheFile();

    // A text file shorter than a database header, too.
    std::ofstream(path(), std::ios::binary | std::ios::trunc) << "hello";
    EXPECT_EQ(openError(), code(StoreErrorCode::NotAStore));
    EXPECT_TRUE(fileBytes(path()) == "hello") << "the file was changed";
}

// Another program's database: its own tables, and any user_version, including ours and an older
// one for which upgrade steps exist.
TEST_F(StoreOpening, AnotherProgramsDatabaseIsNotAStoreWhateverItsUserVersion) {
    for (int userVersion : {0, 1, 2, 3}) {
        SCOPED_TRACE("user_version " + std::to_string(userVersion));
        std::filesystem::remove(path());
        execute(
            "CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT); "
            "INSERT INTO notes (text) VALUES ('keep me'), ('and me'); "
            "PRAGMA user_version = " +
            std::to_string(userVersion));
        const std::string before = fileBytes(path());

        StoreOptions options;
        options.migrations.push_back({2, 3, "harmless", [](SqliteDatabase& db) {
                                          return db.execute("CREATE TABLE IF NOT EXISTS extra (x)");
                                      }});
        auto store = PersistentStore::open(path(), store_testing::storeTestModel(), options);
        ASSERT_FALSE(store.ok());
        EXPECT_THAT(store.error().code, ::testing::AnyOf(code(StoreErrorCode::NotAStore),
                                                         code(StoreErrorCode::NoMigrationPath),
                                                         code(StoreErrorCode::MigrationFailed)));
        if (userVersion == 0 || userVersion == 3) {
            EXPECT_EQ(store.error().code, code(StoreErrorCode::NotAStore));
        }
        EXPECT_TRUE(fileBytes(path()) == before) << "the file was changed";
        expectNothingBesideTheFile();
    }
}

// A store of a newer model, or one that lost a table, is refused and left as it was.
TEST_F(StoreOpening, AStoreOfANewerModelVersionOrMissingATableIsLeftAlone) {
    for (const auto& [damage, refusal] :
         {std::pair{"PRAGMA user_version = 4", StoreErrorCode::NewerModelVersion},
          std::pair{"DROP TABLE Day", StoreErrorCode::NotAStore}}) {
        SCOPED_TRACE(damage);
        std::filesystem::remove(path());
        makeStore();
        execute(damage);
        const std::string before = fileBytes(path());
        EXPECT_EQ(openError(), code(refusal));
        EXPECT_TRUE(fileBytes(path()) == before) << "the file was changed";
        expectNothingBesideTheFile();
    }
}

TEST_F(StoreOpening, ASecondOpenOfAnOpenStoreIsRefused) {
    makeStore();
    const std::string before = fileBytes(path());
    {
        auto first = openStore(path());
        EXPECT_EQ(openError(), code(StoreErrorCode::Locked));
        EXPECT_EQ(openError(), code(StoreErrorCode::Locked));
        EXPECT_TRUE(fileBytes(path()) == before) << "the file was changed";
        EXPECT_EQ(first.context->count<TestTask>(), 3u);
        makeTask(*first.context, "Still writable");
        saveOrThrow(*first.context);
    }
    auto again = openStore(path());  // closing released the lock
    EXPECT_EQ(again.context->count<TestTask>(), 4u);
}

TEST_F(StoreOpening, AClosedStoreHasWrittenItsJournalBackAndRefusesToSave) {
    auto first = openStore(path());
    makeTask(*first.context, "Saved");
    saveOrThrow(*first.context);
    first.store->close();
    first.store->close();  // a second close does nothing
    EXPECT_TRUE(first.store->isClosed());
    EXPECT_FALSE(std::filesystem::exists(path().string() + "-wal"));
    const std::string before = fileBytes(path());

    // The records stay readable, but nothing reaches the file any more.
    EXPECT_EQ(first.context->count<TestTask>(), 1u);
    makeTask(*first.context, "Too late");
    Status saved = first.context->save();
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().domain, kStoreErrorDomain);
    EXPECT_EQ(saved.error().code, code(StoreErrorCode::SaveFailed));
    EXPECT_TRUE(first.context->hasChanges());  // kept, as after any failed save
    EXPECT_TRUE(fileBytes(path()) == before) << "the file was changed";

    // The lock is gone with the connection: the file opens again, with what was saved.
    auto again = openStore(path());
    EXPECT_EQ(again.context->count<TestTask>(), 1u);
}

TEST_F(StoreOpening, AStoreOpenInAnotherProcessIsRefusedUntilThatProcessEnds) {
    makeStore();
    int toChild[2], fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto store = PersistentStore::open(path(), store_testing::storeTestModel());
        const char opened = store ? 'y' : 'n';
        (void)::write(fromChild[1], &opened, 1);
        char go;
        (void)::read(toChild[0], &go, 1);
        ::_exit(0);
    }
    char opened = 0;
    ASSERT_EQ(::read(fromChild[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y');
    const std::string before = fileBytes(path());
    EXPECT_EQ(openError(), code(StoreErrorCode::Locked));
    EXPECT_TRUE(fileBytes(path()) == before) << "the file was changed";

    (void)::write(toChild[1], "x", 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        ::close(fd);
    EXPECT_EQ(openError(), 0);
}

TEST_F(StoreOpening, ADamagedStoreGivesAnErrorAndLosesNothing) {
    makeStore(400);  // several pages of tasks
    const std::string good = fileBytes(path());
    ASSERT_GT(good.size(), 5u * 4096);

    // Pages overwritten in the middle, then a file cut short.
    std::string damaged = good;
    for (std::size_t i = 2 * 4096; i < 4 * 4096; ++i)
        damaged[i] = static_cast<char>(i * 7);
    for (const std::string& bytes : {damaged, good.substr(0, good.size() / 2)}) {
        std::ofstream(path(), std::ios::binary | std::ios::trunc) << bytes;
        {
            auto store = PersistentStore::open(path(), store_testing::storeTestModel());
            if (store) {
                auto context = ManagedObjectContext::openMainContext(store.value());
                ASSERT_FALSE(context.ok())
                    << "a damaged file (" << bytes.size() << " bytes) loaded as if it were sound";
                EXPECT_EQ(context.error().domain, kStoreErrorDomain);
                EXPECT_EQ(context.error().code, code(StoreErrorCode::Damaged));
                EXPECT_THAT(context.error().description, ::testing::HasSubstr("is damaged"));
            } else {
                // Never "not a Ravelong data file": a user may delete such a file.
                EXPECT_EQ(store.error().code, code(StoreErrorCode::Damaged));
                EXPECT_THAT(store.error().description, ::testing::HasSubstr("is damaged"));
            }
        }
        EXPECT_TRUE(fileBytes(path()) == bytes) << "the file was changed";
    }
}

// The damage check of a current store runs beside the loading; a store whose records load but
// whose index is damaged must be refused at every attempt, not only at the first.
TEST_F(StoreOpening, EveryAttemptToLoadADamagedStoreIsRefused) {
    makeStore(50);
    execute("CREATE INDEX damageProbe ON Task(pk)");
    const auto root = store_testing::countRows(
        path(), "SELECT rootpage FROM sqlite_master WHERE name = 'damageProbe'");
    const auto pageSize = store_testing::countRows(path(), "PRAGMA page_size");
    ASSERT_GT(root, 1);
    std::string bytes = fileBytes(path());
    for (std::int64_t i = 0; i < pageSize; ++i)
        bytes[static_cast<std::size_t>((root - 1) * pageSize + i)] = static_cast<char>(0xa5 ^ i);
    std::ofstream(path(), std::ios::binary | std::ios::trunc) << bytes;

    auto store = PersistentStore::open(path(), store_testing::storeTestModel());
    ASSERT_TRUE(store.ok()) << store.error().description;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        auto context = ManagedObjectContext::openMainContext(store.value());
        ASSERT_FALSE(context.ok());
        EXPECT_EQ(context.error().code, code(StoreErrorCode::Damaged));
    }
    EXPECT_FALSE(store.value()->save(ChangeSet{}).ok());
    store.value()->close();
    EXPECT_TRUE(fileBytes(path()) == bytes) << "the file was changed";
}

TEST_F(StoreOpening, AnUnreadableStoreIdentifierIsReplacedInsteadOfFailing) {
    makeStore();
    execute("UPDATE Z_METADATA SET value = NULL WHERE key = 'storeUUID'");
    auto opened = openStore(path());
    TestTask* task = opened.context->fetchAll<TestTask>().front();
    const std::string uri = task->uriRepresentation();
    EXPECT_EQ(opened.context->objectWithURI(uri), task);
    opened = {};
    auto reopened = openStore(path());
    EXPECT_NE(reopened.context->objectWithURI(uri), nullptr);
}

TEST_F(StoreOpening, AMissingFolderOrAFolderInPlaceOfTheFileIsAnError) {
    auto inMissingFolder =
        PersistentStore::open(folder / "missing" / "db.sqlite", store_testing::storeTestModel());
    ASSERT_FALSE(inMissingFolder.ok());
    EXPECT_EQ(inMissingFolder.error().code, code(StoreErrorCode::CannotOpen));

    std::filesystem::create_directory(path());
    EXPECT_NE(openError(), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path()));
}

}  // namespace
}  // namespace ravelong
