#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/StoreLayouts.h"
#include "foundation/Error.h"
#include "store/SqliteDatabase.h"

// Reshapes a store file from one table layout to another, as an inferred mapping does: every
// record keeps its pk (so relationships and join tables stay valid), columns present in both
// layouts are copied, columns new in the destination get the layout's default, and columns that
// the destination no longer has are dropped. A table may instead be converted by its own code.
namespace ravelong::layout_migration {

// Fills the new, empty `destination` table from the old rows in `sourceTable`, whose columns
// (after pk) are `sourceColumns`, in file order. Returning an error aborts the whole upgrade.
using TableConversion = std::function<Status(SqliteDatabase& db, const std::string& sourceTable,
                                             const std::vector<std::string>& sourceColumns,
                                             const store_layouts::TableLayout& destination)>;

struct Conversion {
    std::string table;
    TableConversion convert;
};

// Rebuilds the tables of `to` from those of `from` in `db`. Must run inside a transaction, so
// that a failure (a bad row, a full disk) is rolled back by the caller as a whole; the errors name
// the table or row concerned. A table of `from` that the file lacks is an error. Tables whose
// columns already match and that have no conversion are kept as they are. Z_METADATA and tables
// that neither layout names are left alone. Every index of `to` exists afterwards.
Status migrate(SqliteDatabase& db, const store_layouts::StoreLayout& from,
               const store_layouts::StoreLayout& to, const std::vector<Conversion>& conversions);

// The columns of a table in file order (without "pk"), with their declared types. Empty when the
// table does not exist.
struct ExistingColumn {
    std::string name;
    std::string type;
};
Result<std::vector<ExistingColumn>> existingColumns(SqliteDatabase& db, const std::string& table);

}  // namespace ravelong::layout_migration
