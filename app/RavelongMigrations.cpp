#include "app/RavelongMigrations.h"

#include "app/LayoutMigration.h"
#include "app/StoreLayouts.h"
#include "app/ZRCDTimingV13OrV14ToV15MigrationPolicy.h"
#include "core/model/TaskTotalsTable.h"

namespace ravelong {

MigrationStep upgradeFromVersion13Or14(int fromVersion) {
    MigrationStep step;
    step.fromVersion = fromVersion;
    step.toVersion = 15;
    step.name = "Upgrade from version " + std::to_string(fromVersion);
    step.apply = [fromVersion](SqliteDatabase& db) {
        // The timings table is rebuilt whole; a 64 MB page cache keeps a heavy user's in memory
        // instead of spilling it to the journal page by page. Only this connection is affected.
        (void)db.execute("PRAGMA cache_size = -65536");
        return layout_migration::migrate(
            db, store_layouts::layoutOfVersion13Or14(fromVersion),
            store_layouts::layoutOfVersion15(),
            {{"ZRCDTiming", &ZRCDTimingV13OrV14ToV15MigrationPolicy::migrateTimings}});
    };
    return step;
}

StoreOptions ravelongStoreOptions() {
    StoreOptions options;
    options.migrations = {upgradeFromVersion13Or14(13), upgradeFromVersion13Or14(14)};
    options.derivedTables = {task_totals_table::definition()};
    return options;
}

}  // namespace ravelong
