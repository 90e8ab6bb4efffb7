#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Instant.h"
#include "store/ManagedObjectContext.h"
#include "store/PersistentStore.h"
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

}  // namespace ravelong::store_testing
