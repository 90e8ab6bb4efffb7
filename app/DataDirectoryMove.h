#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
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
// A failed move is logged ("There was a problem updating: ...") and the others go on; an entry
// is never moved over an existing file. Returns the new names of the entries that moved.
// Main thread, before the store is opened.
std::vector<std::string> moveStoreToCurrentDirectory(const DataLocations& locations);

// The number an entry name contributes to N: the digits of the name without its extension, read
// as an integer (0 without digits; too many digits give the largest integer).
std::int64_t storeNumberOfEntryName(const std::string& name);

}  // namespace ravelong
