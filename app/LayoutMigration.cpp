#include "app/LayoutMigration.h"

#include <algorithm>
#include <cctype>

#include "store/StoreError.h"

namespace ravelong::layout_migration {

namespace {

using store_layouts::StoreLayout;
using store_layouts::TableLayout;

Error failure(std::string description) {
    return storeError(StoreErrorCode::MigrationFailed, std::move(description));
}

bool sameType(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

bool matches(const std::vector<ExistingColumn>& existing, const TableLayout& layout) {
    return std::equal(existing.begin(), existing.end(), layout.columns.begin(),
                      layout.columns.end(), [](const ExistingColumn& e, const auto& wanted) {
                          return e.name == wanted.name && sameType(e.type, wanted.type);
                      });
}

// The default rule: same-named columns are copied, new ones take their default.
Status copyByName(SqliteDatabase& db, const std::string& sourceTable,
                  const std::vector<std::string>& sourceColumns, const TableLayout& destination) {
    std::string names = destination.isJoinTable ? "" : "pk";
    std::string values = names;
    for (const auto& column : destination.columns) {
        const bool present = std::find(sourceColumns.begin(), sourceColumns.end(), column.name) !=
                             sourceColumns.end();
        names += (names.empty() ? "" : ", ") + sqlQuoted(column.name);
        values +=
            (values.empty() ? "" : ", ") + (present ? sqlQuoted(column.name) : column.defaultValue);
    }
    Status copied = db.execute("INSERT INTO " + sqlQuoted(destination.name) + " (" + names +
                               ") SELECT " + values + " FROM " + sqlQuoted(sourceTable));
    if (!copied) {
        return failure("The records of " + destination.name +
                       " could not be copied: " + copied.error().description);
    }
    return Status::success();
}

Status run(SqliteDatabase& db, const std::string& sql) {
    Status status = db.execute(sql);
    return status ? status : failure(status.error().description);
}

}  // namespace

Result<std::vector<ExistingColumn>> existingColumns(SqliteDatabase& db, const std::string& table) {
    auto statement = db.prepare("SELECT name, type FROM pragma_table_info(?)");
    if (!statement)
        return failure(statement.error().description);
    statement->bind(1, Value(table));
    std::vector<ExistingColumn> columns;
    while (statement->step()) {
        auto name = std::get<std::string>(statement->column(0));
        if (name == "pk")
            continue;
        const Value type = statement->column(1);
        columns.push_back({std::move(name), std::holds_alternative<std::string>(type)
                                                ? std::get<std::string>(type)
                                                : std::string()});
    }
    if (statement->failed())
        return failure(statement->error());
    return columns;
}

Status migrate(SqliteDatabase& db, const StoreLayout& from, const StoreLayout& to,
               const std::vector<Conversion>& conversions) {
    for (const TableLayout& table : from.tables) {
        if (!db.tableExists(table.name)) {
            return failure("The table " + table.name + " is missing.");
        }
    }
    for (const TableLayout& table : to.tables) {
        auto existing = existingColumns(db, table.name);
        if (!existing)
            return existing.error();
        const auto conversion =
            std::find_if(conversions.begin(), conversions.end(),
                         [&](const Conversion& c) { return c.table == table.name; });
        if (!db.tableExists(table.name)) {
            if (Status s = run(db, store_layouts::createTableStatement(table)); !s)
                return s;
            continue;
        }
        if (conversion == conversions.end() && matches(*existing, table))
            continue;

        // The old table moves aside, taking its indexes with it; they go when it is dropped, and
        // the destination's indexes are made at the end.
        const std::string old = table.name + "__before_upgrade";
        if (Status s =
                run(db, "ALTER TABLE " + sqlQuoted(table.name) + " RENAME TO " + sqlQuoted(old));
            !s)
            return s;
        if (Status s = run(db, store_layouts::createTableStatement(table)); !s)
            return s;
        std::vector<std::string> names;
        for (const ExistingColumn& column : *existing)
            names.push_back(column.name);
        Status converted = conversion != conversions.end()
                               ? conversion->convert(db, old, names, table)
                               : copyByName(db, old, names, table);
        if (!converted)
            return converted;
        if (Status s = run(db, "DROP TABLE " + sqlQuoted(old)); !s)
            return s;
    }
    for (const TableLayout& table : from.tables) {
        if (!to.table(table.name)) {
            if (Status s = run(db, "DROP TABLE " + sqlQuoted(table.name)); !s)
                return s;
        }
    }
    if (!db.tableExists("Z_METADATA")) {
        if (Status s = run(db, "CREATE TABLE Z_METADATA (key TEXT PRIMARY KEY, value TEXT)"); !s)
            return s;
    }
    for (const std::string& statement : store_layouts::createIndexStatements(to)) {
        if (Status s = run(db, statement); !s)
            return s;
    }
    return Status::success();
}

}  // namespace ravelong::layout_migration
