#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Instant.h"
#include "foundation/Log.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/model/StoreTestModel.h"

// Helpers shared by the store tests. They throw std::runtime_error on failures that are not what
// a test is about (GoogleTest reports the exception as a failure of the test that called them).
namespace ravelong::store_testing {

struct OpenedStore {
    std::shared_ptr<PersistentStore> store;
    std::unique_ptr<ManagedObjectContext> context;
};

// Opens (creating when missing) the store at `path` and its main context, of the store tests'
// own model unless told otherwise.
OpenedStore openStore(const std::filesystem::path& path, const StoreOptions& options = {});
OpenedStore openStore(const std::filesystem::path& path, const ManagedObjectModel& model,
                      const StoreOptions& options = {});

// Fails with the error text when a save does not succeed.
void saveOrThrow(ManagedObjectContext& context);

// What the file holds now, loaded through a background reader into a context of its own.
std::unique_ptr<ManagedObjectContext> loadCopy(const PersistentStore& store);

// The exact bytes of a file ("" when it does not exist).
std::string fileBytes(const std::filesystem::path& path);

TestTask* makeTask(ManagedObjectContext& context, const std::string& name);
TestEntry* makeEntry(ManagedObjectContext& context, TestTask* task, Instant start, Instant end);
TestLabel* makeLabel(ManagedObjectContext& context, std::int16_t type);
TestDay* makeDay(ManagedObjectContext& context, TestTask* task, std::int32_t absDay);

template <class T>
T* findByUuid(const ManagedObjectContext& context, const std::string& uuid) {
    FetchRequest<T> request;
    request.predicate = [&](const T& record) { return record.uuid() == uuid; };
    auto found = context.fetch(request);
    return found.size() == 1 ? found.front() : nullptr;
}

// Every way in which the graph of live records is inconsistent: a relationship that points at a
// deleted record or one of another context, or whose inverse does not point back. Empty when the
// graph is sound.
std::vector<std::string> graphProblems(const ManagedObjectContext& context);

// Everything the records hold, attributes and links (named by ObjectID), one text per record in
// ObjectID order: equal snapshots mean equal graphs, whichever context or file they came from.
std::vector<std::string> graphSnapshot(const ManagedObjectContext& context);

// Every row of every table of the file, read through a raw connection, as text.
std::string tableDump(const std::filesystem::path& path);

// Rows of an SQL count query on a raw connection to the file (not through the store).
std::int64_t countRows(const std::filesystem::path& path, const std::string& sql);

// A store file in a folder of its own, for the tests of opening, upgrading and failing; the log
// is captured, so that the errors these tests cause stay out of the output.
class StoreFileTest : public ::testing::Test {
protected:
    std::filesystem::path path() const { return folder / "RavelongDB.sqlite"; }

    // Runs `sql` on the file through a raw connection.
    void execute(const std::string& sql) const;

    // Opens the store expecting an error; returns its code (0 when it opened).
    int openError(const StoreOptions& options = {}) const;

    static constexpr int code(StoreErrorCode c) { return static_cast<int>(c); }

    LogCapture quiet;
    testing::TemporaryDirectory folder;
};

// The same, with the store open and its main context.
class OpenStoreTest : public StoreFileTest {
protected:
    ManagedObjectContext& context() { return *opened.context; }
    // Rows of `table` (and any condition after it) in the file.
    std::int64_t rows(const std::string& table) const {
        return countRows(path(), "SELECT count(*) FROM " + table);
    }

    OpenedStore opened = openStore(path());
};

}  // namespace ravelong::store_testing
