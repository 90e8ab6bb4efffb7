#pragma once

namespace ravelong {

class ManagedObjectContext;

// Repair of the single preferences record (ZRCDPreferences) after merges and restores. Returns
// whether it changed anything, saves nothing, and is meant to run with undo registration off.
// Main thread only.
namespace store_repairs {

// One record that is not "PREFERENCES" gets that uuid. With several records: when none or one is
// "PREFERENCES" and others exist, the other with the smallest uuid survives under the uuid
// "PREFERENCES" and every other record is deleted (the others carry settings that were made on
// purpose, while a lone "PREFERENCES" beside them was most likely made fresh by a read that
// found none). Several "PREFERENCES" records are left alone: they are one record to the sync of
// the stores, and deleting one here would delete the preferences of every computer.
bool fixPreferences_inContext(ManagedObjectContext& context);

}  // namespace store_repairs
}  // namespace ravelong
