#include "app/StoreLayouts.h"

#include "core/model/RavelongModel.h"
#include "store/SqliteDatabase.h"
#include "store/StoreSchema.h"

namespace ravelong::store_layouts {

namespace {

TableLayout joinTable(std::string name) {
    return {std::move(name), {{"owner", "INTEGER"}, {"member", "INTEGER"}}, true};
}

// The entities other than the timing, unchanged from version 13 to 15.
std::vector<TableLayout> tablesAroundTimings(TableLayout timing) {
    return {
        {"ZRCDTask",
         {{"createdDay", "INTEGER"},
          {"date", "REAL"},
          {"updatedDate", "REAL"},
          {"isArchived", "INTEGER"},
          {"isVisibleDuringSearch", "INTEGER"},
          {"isVisibleInDataSelection", "INTEGER"},
          {"isVisibleInMenuBar", "INTEGER"},
          {"taskColor", "BLOB"},
          {"taskDescription", "TEXT"},
          {"taskIsSelected", "INTEGER"},
          {"taskName", "TEXT"},
          {"uids", "TEXT"},
          {"uuid", "TEXT"},
          {"running", "INTEGER"},
          {"rounding", "INTEGER"},
          {"parentTask", "INTEGER"},
          {"nextTask", "INTEGER"}}},
        joinTable("ZRCDTask_origins"),
        std::move(timing),
        joinTable("ZRCDTiming_timingSets"),
        {"ZRCDTimingSet",
         {{"absDay", "INTEGER"},
          {"day", "INTEGER"},
          {"duration", "REAL"},
          {"roundedDuration", "REAL"},
          {"cachedRounding", "INTEGER"},
          {"running", "INTEGER"},
          {"fullTaskName", "TEXT"},
          {"task", "INTEGER"}}},
        {"ZRCDOrigin",
         {{"device", "TEXT"},
          {"udid", "TEXT"},
          {"deviceNameChanged", "REAL"},
          {"user", "TEXT"},
          {"uid", "INTEGER"},
          {"userNameChanged", "REAL"},
          {"type", "INTEGER"}}},
        {"ZRCDPreferences",
         {{"allowMultipleTimers", "INTEGER"}, {"newDay", "INTEGER"}, {"uuid", "TEXT"}}},
        {"ZRCDExportPreferences",
         {{"timingsExport", "INTEGER"},       {"csvEncoding", "INTEGER"},
          {"csvDelimiter", "INTEGER"},        {"csvRounding", "INTEGER"},
          {"csvSplitTask", "INTEGER"},        {"csvDateFormat", "INTEGER"},
          {"csvDurationFormat", "INTEGER"},   {"csvDurations", "INTEGER"},
          {"csvShowSeconds", "INTEGER"},      {"csvTotalTime", "INTEGER"},
          {"csvStartDates", "INTEGER"},       {"csvEndDates", "INTEGER"},
          {"csvStartTimes", "INTEGER"},       {"csvEndTimes", "INTEGER"},
          {"csvColumnTitles", "INTEGER"},     {"csvNotes", "INTEGER"},
          {"csvTaskDescriptions", "INTEGER"}, {"csvTaskDescInNotes", "INTEGER"},
          {"csvRoundedDurations", "INTEGER"}, {"csvRoundedEndTimes", "INTEGER"},
          {"imageFileType", "INTEGER"},       {"imageTransparent", "INTEGER"},
          {"imageQuality", "INTEGER"},        {"imageLegend", "INTEGER"},
          {"imageLegendFullName", "INTEGER"}, {"uuid", "TEXT"}}},
    };
}

std::vector<IndexLayout> standardIndexes() {
    std::vector<IndexLayout> indexes;
    for (const EntityDescription* entity : ravelongModel().entities()) {
        for (const IndexDescription& index : entity->indexes)
            indexes.push_back({entity->name, index});
    }
    return indexes;
}

StoreLayout makeVersion13Or14(int version) {
    TableLayout timing{"ZRCDTiming",
                       {{"endDate", "REAL"},
                        {"maxDate", "REAL"},
                        {"note", "TEXT"},
                        {"startDate", "REAL"},
                        {"timezoneOffset", "INTEGER"},
                        {"uuid", "TEXT"},
                        {"origin", "INTEGER"},
                        {"task", "INTEGER"},
                        {"firstTimingSet", "INTEGER"}}};
    return {version, tablesAroundTimings(std::move(timing)), standardIndexes()};
}

}  // namespace

const TableLayout* StoreLayout::table(const std::string& name) const {
    for (const TableLayout& t : tables) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

const StoreLayout& layoutOfVersion13Or14(int version) {
    static const StoreLayout v13 = makeVersion13Or14(13);
    static const StoreLayout v14 = makeVersion13Or14(14);
    return version == 13 ? v13 : v14;
}

const StoreLayout& layoutOfVersion15() {
    // New timing columns get the values a timing made before they existed has: billing 0,
    // newDayOffset -1 (not yet known); the upgrade from 13 and 14 sets all four itself.
    static const StoreLayout v15{15,
                                 tablesAroundTimings({"ZRCDTiming",
                                                      {{"billing", "INTEGER", "0"},
                                                       {"endDate", "REAL"},
                                                       {"note", "TEXT"},
                                                       {"startDate", "REAL"},
                                                       {"timezone", "TEXT"},
                                                       {"newDayOffset", "INTEGER", "-1"},
                                                       {"uuid", "TEXT"},
                                                       {"modified", "REAL"},
                                                       {"origin", "INTEGER"},
                                                       {"task", "INTEGER"},
                                                       {"firstTimingSet", "INTEGER"}}}),
                                 standardIndexes()};
    return v15;
}

std::string createTableStatement(const TableLayout& table) {
    if (table.isJoinTable) {
        return "CREATE TABLE " + sqlQuoted(table.name) +
               " (owner INTEGER NOT NULL, member INTEGER NOT NULL, "
               "PRIMARY KEY (owner, member)) WITHOUT ROWID";
    }
    std::string sql = "CREATE TABLE " + sqlQuoted(table.name) + " (pk INTEGER PRIMARY KEY";
    for (const ColumnLayout& column : table.columns) {
        sql += ", " + sqlQuoted(column.name) + " " + column.type;
    }
    return sql + ")";
}

std::vector<std::string> createIndexStatements(const StoreLayout& layout) {
    std::vector<std::string> statements;
    for (const TableLayout& table : layout.tables) {
        if (table.isJoinTable) {
            statements.push_back("CREATE INDEX IF NOT EXISTS " + sqlQuoted(table.name + "_member") +
                                 " ON " + sqlQuoted(table.name) + " (member)");
        }
    }
    for (const IndexLayout& index : layout.indexes) {
        statements.push_back(store_schema::createIndexStatement(index.table, index.index, true));
    }
    return statements;
}

std::vector<std::string> createStatements(const StoreLayout& layout) {
    std::vector<std::string> statements;
    for (const TableLayout& table : layout.tables) {
        statements.push_back(createTableStatement(table));
    }
    for (std::string& statement : createIndexStatements(layout)) {
        statements.push_back(std::move(statement));
    }
    statements.push_back("CREATE TABLE Z_METADATA (key TEXT PRIMARY KEY, value TEXT)");
    return statements;
}

}  // namespace ravelong::store_layouts
