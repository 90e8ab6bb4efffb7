#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "store/SqliteDatabase.h"
#include "store/StoreSchema.h"
#include "support/TestSupport.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/store/model/StoreTestModel.h"

namespace ravelong {
namespace {

using store_testing::TestTask;

std::vector<std::string> indexesOf(const std::filesystem::path& path) {
    auto db = SqliteDatabase::open(path, SqliteDatabase::Mode::ReadWrite);
    if (!db)
        throw std::runtime_error("cannot open " + path.string());
    auto rows = db.value()->prepare(
        "SELECT sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL ORDER BY name");
    if (!rows)
        throw std::runtime_error(rows.error().description);
    std::vector<std::string> result;
    while (rows->step())
        result.push_back(std::get<std::string>(rows->column(0)));
    return result;
}

TEST(StoreSchema, TheIndexesAnEntityDeclaresAreMadeWithTheFile) {
    testing::TemporaryDirectory folder;
    { store_testing::openStore(folder / "indexes.sqlite", store_testing::storeTestModel()); }
    EXPECT_THAT(
        indexesOf(folder / "indexes.sqlite"),
        ::testing::ElementsAre(R"(CREATE INDEX "Day_absDay_task" ON "Day" ("absDay", "task"))",
                               R"(CREATE INDEX "Day_task_absDay" ON "Day" ("task", "absDay"))",
                               R"(CREATE INDEX "Entry_days_member" ON "Entry_days" (member))",
                               R"(CREATE INDEX "Entry_task_start" ON "Entry" ("task", "start"))",
                               R"(CREATE INDEX "Entry_uuid" ON "Entry" ("uuid"))",
                               R"(CREATE UNIQUE INDEX "Task_code" ON "Task" ("code"))",
                               R"(CREATE INDEX "Task_labels_member" ON "Task_labels" (member))",
                               R"(CREATE INDEX "Task_name" ON "Task" ("name"))",
                               R"(CREATE INDEX "Task_parent_rank" ON "Task" ("parent", "rank"))"));
}

TEST(StoreSchema, AUniqueIndexRefusesASaveThatBreaksItAndTheFileKeepsItsState) {
    testing::TemporaryDirectory folder;
    auto opened =
        store_testing::openStore(folder / "unique.sqlite", store_testing::storeTestModel());
    ManagedObjectContext& context = *opened.context;
    auto make = [&](const std::string& code) {
        auto* task = static_cast<TestTask*>(context.insertNewObject(TestTask::entityDescription()));
        task->setName(code);
        task->setCode(code);
        return task;
    };
    make("a");
    store_testing::saveOrThrow(context);
    TestTask* second = make("b");
    make("c")->setCode(std::nullopt);  // any number of tasks may have none
    make("d")->setCode(std::nullopt);
    second->setCode("a");

    EXPECT_FALSE(context.save().ok());
    EXPECT_EQ(store_testing::countRows(folder / "unique.sqlite", "SELECT count(*) FROM Task"), 1);
    EXPECT_TRUE(context.hasChanges());
    second->setCode("b");
    store_testing::saveOrThrow(context);
    EXPECT_EQ(store_testing::countRows(folder / "unique.sqlite", "SELECT count(*) FROM Task"), 4);
}

// A model made of copies of the test model's entities, with one more index on the task.
bool modelWithTaskIndexIsMade(const IndexDescription& index) {
    std::vector<EntityDescription> copies;
    for (const EntityDescription* entity : store_testing::storeTestModel().entities())
        copies.push_back(*entity);
    copies.front().indexes.push_back(index);
    std::vector<EntityDescription*> entities;
    for (EntityDescription& copy : copies)
        entities.push_back(&copy);
    try {
        ManagedObjectModel model(1, entities);
        return true;
    } catch (const std::logic_error& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr("index")) << "refused for another reason";
        return false;
    }
}

TEST(StoreSchema, AnIndexOnAnythingButColumnsIsRefusedWhenTheModelIsMade) {
    ASSERT_EQ(store_testing::storeTestModel().entities().front(), &TestTask::entityDescription());
    for (const std::vector<std::string>& columns : std::vector<std::vector<std::string>>{
             {}, {"subtasks"}, {"previous"}, {"labels"}, {"name", "missing"}}) {
        EXPECT_FALSE(modelWithTaskIndexIsMade({columns, false}))
            << ::testing::PrintToString(columns);
    }
    EXPECT_TRUE(modelWithTaskIndexIsMade({{"next", "code"}, true}));
}

}  // namespace
}  // namespace ravelong
