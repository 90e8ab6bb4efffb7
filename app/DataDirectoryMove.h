#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "app/DataLocations.h"

namespace ravelong {

// Moves the store of the intermediate generation (in the group folder, named "Ravelong.sqlite"
// or "Ravelong<N>.sqlite" with its companion files) into the current folder as
// "RavelongDB.sqlite" and companions. Runs at every launch, before the store is opened:
//
// - Nothing happens once the current folder holds an entry whose name contains "RavelongDB".
// - The store to move is the one with the largest number N found in the group folder's entry
//   names (digits of the name without its extension; none counts 0): "Ravelong<N>.sqlite", or
//   "Ravelong.sqlite" for N = 0. Every entry whose name contains that store name moves, with its
//   digits dropped and "DB" put before the first dot: Ravelong7.sqlite-wal ->
//   RavelongDB.sqlite-wal.
// - After the first entry moved, an empty "5000.txt" is left in the group folder. Its number
//   outbids every store name there, so no later launch finds anything to move.
//
// The store and its -wal and -shm files move together or not at all: a store without its -wal
// file loses the changes the -wal file holds, and a -wal file without its store would be taken
// for part of a new one. Before the first entry moves, the planned moves are written to a journal
// (".store-move-in-progress" in the current folder). A move that fails is logged ("There was a
// problem updating: ...") and the entries moved before it go back; a move cut short by the end
// of the process is finished from the journal at the next launch (or, when that cannot be done,
// rolled back). An entry is never moved over an existing file: one whose new name is taken is
// logged and left where it is. Returns the new names of the entries that moved (at this launch).
// Main thread, before the store is opened.
//
// `moveEntry` renames one entry (tests pass one that fails); it returns the failure, if any.
using EntryMover =
    std::function<std::error_code(const std::filesystem::path&, const std::filesystem::path&)>;
std::error_code renameEntry(const std::filesystem::path& from, const std::filesystem::path& to);
std::vector<std::string> moveStoreToCurrentDirectory(const DataLocations& locations,
                                                     const EntryMover& moveEntry = renameEntry);

// The number an entry name contributes to N: the digits of the name without its extension, read
// as an integer (0 without digits; too many digits give the largest integer).
std::int64_t storeNumberOfEntryName(const std::string& name);

}  // namespace ravelong
