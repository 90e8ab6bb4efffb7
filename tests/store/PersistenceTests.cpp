#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "foundation/Log.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::TestDay;
using store_testing::TestEntry;
using store_testing::TestLabel;
using store_testing::TestSettings;
using store_testing::TestTask;

using store_testing::findByUuid;
using store_testing::graphProblems;
using store_testing::graphSnapshot;
using store_testing::makeEntry;
using store_testing::makeLabel;
using store_testing::makeTask;
using store_testing::openStore;
using store_testing::saveOrThrow;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

const std::string kUnicode =
    "Zeit \xE2\x8F\xB1 \xC3\x9C"
    "berstunden \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82";

// Fills a store with records that use every attribute type, the values at their edges (absent,
// empty, the sentinel date, extremes of each integer width, unicode text) and every relationship
// kind: parent/subtasks, the order, task labels, entries of tasks and labels, days of entries and
// of tasks, and first days.
void fillEveryField(ManagedObjectContext& context) {
    TestTask* root = makeTask(context, kUnicode);
    root->setRank(LLONG_MIN);
    root->setCode("R");
    root->setCreatedDay(20240229);
    root->setCreated(-978307200.5);
    root->setArchived(true);
    root->setColor(Data{0x33, 0x22, 0x11, 0x00});
    root->setNote("line one\nline two, \"quoted\"; 'single' \\ back");
    root->setWeight(SHRT_MIN);

    TestTask* child = makeTask(context, "");  // empty, not absent
    child->setParent(root);
    child->setRank(LLONG_MAX);
    child->setColor(Data{});  // empty, not absent
    child->setNote(std::string("nul\0inside", 10));
    child->setWeight(SHRT_MAX);
    child->setCreatedDay(INT_MIN);
    TestTask* grandChild = context.insertNewObject<TestTask>();  // every optional absent
    grandChild->setParent(child);
    root->setNext(child);
    child->setNext(grandChild);

    TestLabel* label = makeLabel(context, SHRT_MAX);
    label->setTitle("Mac\xE2\x80\x99s Laptop");
    label->setUid(INT_MAX);
    TestLabel* bare = context.insertNewObject<TestLabel>();
    bare->setUid(INT_MIN);
    bare->setKind(SHRT_MIN);
    root->addLabel(label);
    child->addLabel(label);
    child->addLabel(bare);

    TestEntry* running = makeEntry(context, child, 7.0e8 + 0.001, kSentinelDate);
    running->setBilling(SHRT_MIN);
    running->setNote(kUnicode);
    running->setZone("America/Argentina/Buenos_Aires");
    running->setDayOffset(-1);
    running->setLabel(label);
    TestEntry* stopped = makeEntry(context, child, -1.0e9, 1.0e12);
    stopped->setBilling(SHRT_MAX);
    stopped->setDayOffset(INT_MAX);
    stopped->setLabel(bare);
    TestEntry* empty = context.insertNewObject<TestEntry>();  // no task, no dates
    empty->setNote("");

    TestDay* day1 = store_testing::makeDay(context, child, INT_MIN);
    day1->setDuration(3600.125);
    day1->setRunning(true);
    TestDay* day2 = store_testing::makeDay(context, child, INT_MAX);
    day2->setDuration(1e-9);
    running->addDay(day1);
    running->addDay(day2);
    stopped->addDay(day2);
    running->setFirstDay(day1);
    stopped->setFirstDay(day2);

    TestSettings* settings = context.insertNewObject<TestSettings>();
    settings->setUuid("SETTINGS");
    settings->setAllowMany(true);
    settings->setNewDay(23);

    // Every setting of the second record gets a value of its own, so that a column mixed up with
    // another shows.
    TestSettings* numbered = context.insertNewObject<TestSettings>();
    int n = 0;
    for (const PropertyDescription& p : TestSettings::entityDescription().properties) {
        ++n;
        if (p.type == AttributeType::Bool) {
            numbered->setValueForKey(p.name, std::int64_t{1});
        } else if (p.type == AttributeType::String) {
            numbered->setValueForKey(p.name, std::string("setting-") + std::to_string(n));
        } else {
            numbered->setValueForKey(p.name, std::int64_t{n * 1000 - 13500});
        }
    }
}

using Persistence = store_testing::StoreFileTest;

TEST_F(Persistence, EveryFieldAndLinkSurvivesASaveAndReload) {
    std::vector<std::string> saved;
    {
        auto opened = openStore(path());
        fillEveryField(*opened.context);
        saveOrThrow(*opened.context);
        saved = graphSnapshot(*opened.context);
    }
    auto reopened = openStore(path());
    EXPECT_EQ(graphSnapshot(*reopened.context), saved);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
    ASSERT_EQ(saved.size(), 12u);

    // Each attribute of each entity holds something other than a fresh record's default in at
    // least one record, so none can be silently dropped by the file.
    for (const EntityDescription* entity : reopened.context->model().entities()) {
        const auto fresh = entity->create();
        for (const PropertyDescription& p : entity->properties) {
            if (p.isRelationship())
                continue;
            bool differs = false;
            for (ManagedObject* object : reopened.context->registeredObjects(*entity)) {
                differs = differs || p.get(*object) != p.get(*fresh);
            }
            EXPECT_TRUE(differs) << entity->name << "." << p.name << " is never exercised";
        }
    }

    // The values at the edges, read through the typed accessors.
    ManagedObjectContext& context = *reopened.context;
    TestTask* root = context
                         .fetch(FetchRequest<TestTask>{
                             [](const TestTask& t) { return t.parent() == nullptr && t.name(); }})
                         .front();
    EXPECT_EQ(root->name(), kUnicode);
    EXPECT_EQ(root->weight(), SHRT_MIN);
    EXPECT_EQ(root->rank(), LLONG_MIN);
    EXPECT_EQ(root->created(), -978307200.5);
    ASSERT_EQ(root->subtasks().size(), 1u);
    TestTask* child = *root->subtasks().begin();
    EXPECT_EQ(child->name(), std::optional<std::string>(""));
    EXPECT_EQ(child->color(), std::optional<Data>(Data{}));
    EXPECT_EQ(child->note(), std::string("nul\0inside", 10));
    EXPECT_EQ(root->next(), child);
    TestTask* grandChild = child->next();
    ASSERT_NE(grandChild, nullptr);
    EXPECT_EQ(grandChild->parent(), child);
    EXPECT_EQ(grandChild->name(), std::nullopt);
    EXPECT_EQ(grandChild->color(), std::nullopt);
    EXPECT_EQ(grandChild->created(), std::nullopt);
    EXPECT_EQ(grandChild->weight(), 0);

    auto running = context.fetch(
        FetchRequest<TestEntry>{[](const TestEntry& t) { return t.end() == kSentinelDate; }});
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0]->start(), 7.0e8 + 0.001);
    EXPECT_EQ(running[0]->dayOffset(), -1);
    EXPECT_EQ(running[0]->days().size(), 2u);
    EXPECT_EQ(running[0]->firstDay()->absDay(), INT_MIN);
    EXPECT_EQ(running[0]->label()->uid(), INT_MAX);
    auto noted =
        context.fetch(FetchRequest<TestEntry>{[](const TestEntry& t) { return t.note() == ""; }});
    ASSERT_EQ(noted.size(), 1u);
    EXPECT_EQ(noted[0]->task(), nullptr);
    EXPECT_EQ(noted[0]->start(), std::nullopt);
    EXPECT_EQ(noted[0]->end(), std::nullopt);
}

TEST_F(Persistence, ChangedAndClearedValuesAreWrittenOnUpdate) {
    std::vector<std::string> saved;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        fillEveryField(context);
        saveOrThrow(context);
        // Change every attribute of every record, including back to absent, and move links.
        int n = 0;
        for (const EntityDescription* entity : context.model().entities()) {
            for (ManagedObject* object : context.registeredObjects(*entity)) {
                for (const PropertyDescription& p : entity->properties) {
                    if (p.isRelationship())
                        continue;
                    ++n;
                    switch (p.type) {
                        case AttributeType::String:
                            object->setValueForKey(
                                p.name, n % 3 == 0 ? Value() : Value("v" + std::to_string(n)));
                            break;
                        case AttributeType::Data:
                            object->setValueForKey(p.name,
                                                   n % 3 == 0 ? Value() : Value(Data{1, 2, 3}));
                            break;
                        case AttributeType::Date:
                        case AttributeType::Double:
                            object->setValueForKey(p.name,
                                                   n % 3 == 0 && p.type == AttributeType::Date
                                                       ? Value()
                                                       : Value(n + 0.5));
                            break;
                        case AttributeType::Bool:
                            object->setValueForKey(p.name, std::int64_t{n % 2});
                            break;
                        default:
                            object->setValueForKey(p.name, std::int64_t{n});
                    }
                }
            }
        }
        auto tasks = context.fetchAll<TestTask>();
        auto timings = context.fetchAll<TestEntry>();
        for (TestEntry* timing : timings)
            timing->setTask(tasks.back());
        tasks.front()->setNext(nullptr);
        tasks.back()->setNext(tasks.front());
        for (TestTask* task : tasks)
            task->setValueForKey("labels", std::vector<ManagedObject*>{});
        timings.front()->setValueForKey("days", std::vector<ManagedObject*>{});
        saveOrThrow(context);
        saved = graphSnapshot(context);
    }
    auto reopened = openStore(path());
    EXPECT_EQ(graphSnapshot(*reopened.context), saved);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
}

TEST_F(Persistence, DeletedRecordsLeaveNoRowsAndNoLinksBehind) {
    std::string keptUuid;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        fillEveryField(context);
        saveOrThrow(context);
        std::vector<TestTask*> subtasks;
        for (TestTask* task : context.fetchAll<TestTask>()) {
            if (task->parent() != nullptr)
                subtasks.push_back(task);
        }
        for (TestTask* task : subtasks)
            context.deleteObject(task);
        for (TestLabel* origin : context.fetchAll<TestLabel>())
            context.deleteObject(origin);
        context.deleteObject(context.fetchAll<TestDay>().front());
        saveOrThrow(context);
        keptUuid = *context.fetchAll<TestTask>().front()->uuid();
    }
    const auto file = path();
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM Task"), 1);
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM Task_labels"), 0);
    EXPECT_EQ(store_testing::countRows(file, "SELECT count(*) FROM Entry_days"), 2);
    EXPECT_EQ(store_testing::countRows(file,
                                       "SELECT count(*) FROM Entry WHERE task IS NOT "
                                       "NULL OR label IS NOT NULL"),
              0);
    auto reopened = openStore(path());
    EXPECT_NE(findByUuid<TestTask>(*reopened.context, keptUuid), nullptr);
    EXPECT_EQ(reopened.context->count<TestDay>(), 1u);
    EXPECT_THAT(graphProblems(*reopened.context), IsEmpty());
}

TEST_F(Persistence, ObjectURIsResolveAfterReloadAndNotForDeletedRecords) {
    std::string keptURI, deletedURI, uuid;
    {
        auto opened = openStore(path());
        ManagedObjectContext& context = *opened.context;
        TestTask* kept = makeTask(context, "Kept");
        TestTask* doomed = makeTask(context, "Doomed");
        saveOrThrow(context);
        keptURI = kept->uriRepresentation();
        deletedURI = doomed->uriRepresentation();
        uuid = *kept->uuid();
        EXPECT_EQ(context.objectWithURI(keptURI), kept);

        context.deleteObject(doomed);
        EXPECT_EQ(context.objectWithURI(deletedURI), nullptr);
        saveOrThrow(context);
        TestTask* unsaved = makeTask(context, "Never saved");
        const std::string unsavedURI = unsaved->uriRepresentation();
        context.deleteObject(unsaved);
        EXPECT_EQ(context.objectWithURI(unsavedURI), nullptr);
    }
    // Records made after a restart must not take over the references of deleted ones.
    auto reopened = openStore(path());
    ManagedObjectContext& context = *reopened.context;
    for (int i = 0; i < 3; ++i)
        makeTask(context, "Later " + std::to_string(i));
    saveOrThrow(context);

    ManagedObject* resolved = context.objectWithURI(keptURI);
    ASSERT_NE(resolved, nullptr);
    EXPECT_EQ(static_cast<TestTask*>(resolved)->uuid(), uuid);
    EXPECT_EQ(context.objectWithURI(deletedURI), nullptr);
}

TEST_F(Persistence, MalformedAndForeignURIsResolveToNothing) {
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    TestTask* task = makeTask(context, "Task");
    saveOrThrow(context);
    const std::string uri = task->uriRepresentation();
    ASSERT_EQ(context.objectWithURI(uri), task);
    const std::string prefix = uri.substr(0, uri.rfind('/'));  // x-ravelong://<id>/TestTask
    const std::string storePart = uri.substr(0, uri.find("/Task"));
    const std::string key = uri.substr(uri.rfind('/') + 1);

    ManagedObjectContext elsewhere(store_testing::storeTestModel());
    TestTask* foreign = makeTask(elsewhere, "Foreign");
    for (const std::string& bad : {
             std::string(),
             std::string("x-ravelong://"),
             std::string("x-ravelong:///Task/") + key,
             "http" + uri.substr(uri.find(':')),
             "X-RAVELONG" + uri.substr(uri.find(':')),
             prefix,
             prefix + "/",
             prefix + "/p",
             prefix + "/" + key.substr(1),
             prefix + "/p-1",
             prefix + "/p0",
             prefix + "/p" + key + "x",
             prefix + "/" + key + " ",
             prefix + "/" + key + "/",
             prefix + "/p99999999999999999999999",
             storePart + "/Entry/" + key,
             storePart + "/NoSuchEntity/" + key,
             storePart + "//" + key,
             foreign->uriRepresentation(),
             std::string("x-ravelong://") + std::string(40, 'A') + "/Task/" + key,
             uri + std::string("\0", 1),
         }) {
        EXPECT_EQ(context.objectWithURI(bad), nullptr) << "'" << bad << "'";
    }
    EXPECT_EQ(elsewhere.objectWithURI(uri), nullptr);
}

TEST_F(Persistence, AFailedSaveLeavesTheFileAndTheUnsavedChangesAsTheyWere) {
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    TestTask* task = makeTask(context, "Task");
    TestLabel* origin = makeLabel(context, 0);
    TestEntry* doomed = makeEntry(context, task, 0, 10);
    saveOrThrow(context);
    const std::string before = store_testing::tableDump(path());

    // A save with inserts, updates, link changes and a delete.
    task->setName("Renamed");
    task->addLabel(origin);
    TestEntry* added = makeEntry(context, task, 20, 30);
    context.deleteObject(doomed);
    const auto expected = graphSnapshot(context);

    int failures = 0;
    for (int statements = 0; statements < 100; ++statements) {
        opened.store->failSaveAfterStatements(statements);
        Status status = context.save();
        if (status)
            break;
        ++failures;
        EXPECT_EQ(status.error().domain, kStoreErrorDomain);
        EXPECT_EQ(status.error().code, code(StoreErrorCode::SaveFailed));
        EXPECT_EQ(store_testing::tableDump(path()), before) << "after " << statements;
        EXPECT_TRUE(context.hasChanges());
        EXPECT_THAT(context.insertedObjects(), ElementsAre(added));
        EXPECT_THAT(context.deletedObjects(), ElementsAre(doomed));
        EXPECT_EQ(graphSnapshot(context), expected);
    }
    EXPECT_GE(failures, 4);
    EXPECT_FALSE(context.hasChanges());

    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM Entry"), 1);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM Task_labels"), 1);
    EXPECT_EQ(store_testing::countRows(path(),
                                       "SELECT count(*) FROM Task WHERE name = "
                                       "'Renamed'"),
              1);
}

TEST_F(Persistence, AResetContextReadsTheFileAgain) {
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    makeTask(context, "Saved");
    saveOrThrow(context);
    makeTask(context, "Unsaved");
    context.reset();
    auto tasks = context.fetchAll<TestTask>();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0]->name(), "Saved");
    EXPECT_FALSE(context.hasChanges());
    // Keys keep counting past the records that were dropped.
    TestTask* next = makeTask(context, "Next");
    saveOrThrow(context);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(DISTINCT pk) FROM Task"), 2);
    EXPECT_NE(next->objectID(), tasks[0]->objectID());
}

TEST_F(Persistence, TheRecordListsOfALargeLoadedFileStayExactThroughDeletesAndRollback) {
    constexpr int kTimings = 60;  // well past the size where a record list indexes itself
    {
        auto opened = openStore(path());
        TestTask* task = makeTask(*opened.context, "Task");
        for (int i = 0; i < kTimings; ++i)
            makeEntry(*opened.context, task, i * 100.0, i * 100.0 + 50.0);
        saveOrThrow(*opened.context);
    }
    auto opened = openStore(path());
    ManagedObjectContext& context = *opened.context;
    const std::vector<TestEntry*> loaded = context.fetchAll<TestEntry>();
    ASSERT_EQ(loaded.size(), static_cast<std::size_t>(kTimings));
    const ObjectSet& live = context.registeredObjects(TestEntry::entityDescription());

    std::size_t deleted = 0;
    for (std::size_t i = 0; i < loaded.size(); i += 4, ++deleted)
        context.deleteObject(loaded[i]);
    for (std::size_t i = 0; i < loaded.size(); ++i)
        EXPECT_EQ(live.contains(loaded[i]), i % 4 != 0) << i;
    EXPECT_EQ(live.size(), loaded.size() - deleted);

    context.rollback();
    EXPECT_EQ(live.size(), loaded.size());
    for (TestEntry* timing : loaded)
        EXPECT_TRUE(live.contains(timing));
    auto again = context.fetchAll<TestEntry>();
    std::sort(again.begin(), again.end());
    EXPECT_TRUE(std::adjacent_find(again.begin(), again.end()) == again.end())
        << "a record is listed twice";

    context.deleteObject(loaded[7]);
    saveOrThrow(context);
    EXPECT_EQ(store_testing::countRows(path(), "SELECT count(*) FROM Entry"), kTimings - 1);
    EXPECT_THAT(graphProblems(context), IsEmpty());
}

}  // namespace
}  // namespace ravelong
