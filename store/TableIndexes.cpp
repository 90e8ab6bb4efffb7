#include "store/TableIndexes.h"

#include <variant>

#include "store/SqliteDatabase.h"
#include "store/StoreError.h"

namespace ravelong::table_indexes {

Result<std::vector<TableIndex>> of(SqliteDatabase& db, const std::string& table) {
    auto query = db.prepare(
        "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND "
        "sql IS NOT NULL ORDER BY name");
    if (!query)
        return query.error();
    SqliteStatement& statement = query.value();
    statement.bind(1, Value(table));
    std::vector<TableIndex> indexes;
    while (statement.step()) {
        const Value name = statement.column(0), sql = statement.column(1);
        if (std::holds_alternative<std::string>(name) && std::holds_alternative<std::string>(sql))
            indexes.push_back({std::get<std::string>(name), std::get<std::string>(sql)});
    }
    if (statement.failed())
        return Error{kStoreErrorDomain, statement.errorCode(), statement.error(), ""};
    return indexes;
}

Status drop(SqliteDatabase& db, const std::vector<TableIndex>& indexes) {
    for (const TableIndex& index : indexes) {
        if (Status s = db.execute("DROP INDEX " + sqlQuoted(index.name)); !s)
            return s;
    }
    return Status::success();
}

Status make(SqliteDatabase& db, const std::vector<TableIndex>& indexes) {
    for (const TableIndex& index : indexes) {
        if (Status s = db.execute(index.sql); !s)
            return s;
    }
    return Status::success();
}

}  // namespace ravelong::table_indexes
