#pragma once

#include <filesystem>
#include <string>

namespace ravelong {

// The name this computer's events carry: a random uuid kept in the file "device-id" of the
// engine's state folder, made on first use. It belongs to the store, not the machine, so two
// data folders on one computer synchronise as two computers.
//
// A missing or damaged file gets a fresh id. That is safe: the replica keeps the Lamport clock,
// so later events still sort after earlier ones, and events already applied under the old name
// are not applied again. When the file cannot be written, the fresh id serves this run.
std::string syncDeviceIdIn(const std::filesystem::path& stateFolder);

}  // namespace ravelong
