#pragma once

#include <string>
#include <vector>

#include "foundation/Error.h"

namespace ravelong {

class SqliteDatabase;

// An index of a table, as the file's schema holds it.
struct TableIndex {
    std::string name;
    std::string sql;  // the statement that made it
};

// For saves that add many rows to a table (an import): SQLite builds an index over all of a
// table's rows in one sorted pass faster than it files as many new keys one at a time, so such
// a save drops the table's indexes before its inserts and makes them again after them, inside
// its transaction.
namespace table_indexes {

// The indexes made by CREATE INDEX on `table`; not those SQLite keeps for a key or a UNIQUE
// clause, which go only with their table.
Result<std::vector<TableIndex>> of(SqliteDatabase& db, const std::string& table);
// Inside a transaction of the caller's; the failure of the first statement that failed.
Status drop(SqliteDatabase& db, const std::vector<TableIndex>& indexes);
Status make(SqliteDatabase& db, const std::vector<TableIndex>& indexes);

}  // namespace table_indexes

}  // namespace ravelong
