#pragma once

// What the backup reader fuzz targets share: the input is written to a file and read as a
// backup of one generation into a scratch context, as a restore and as an import. Any input must
// end in a result or an Error; a crash, a sanitizer report or a hang is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/model/RavelongModel.h"
#include "core/services/DeviceIdentity.h"
#include "exchange/BackupFileCheck.h"
#include "exchange/BackupRestore.h"
#include "foundation/Log.h"
#include "foundation/UserDefaults.h"
#include "store/ManagedObjectContext.h"
#include "support/FixedDeviceIdentity.h"
#include "support/SettableClock.h"

namespace ravelong::fuzzing {

inline int fuzzBackupReader(const std::uint8_t* data, std::size_t size, int generation) {
    static const std::filesystem::path folder = [] {
        std::filesystem::path made = std::filesystem::temp_directory_path() /
                                     ("ravelong-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    static UserDefaults settings(folder / "settings.json");
    static ScopedUserDefaults scopedSettings(UserDefaults::Suite::standard, settings);
    static FixedDeviceIdentity identity{
        {"0a1b2c3d4e5f", 1000, "Ada Lovelace", "ada", "Analytical Engine"}};
    static ScopedDeviceIdentity scopedIdentity(identity);
    static SettableClock clock(731322000.0);
    static ScopedClock scopedClock(clock);
    static LogCapture quiet(LogCapture::Output::silent);

    const std::filesystem::path file = folder / "input.xml";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    BackupFileInfo info;
    info.file = file;
    info.generation = generation;
    for (auto mode : {backup_restore::Mode::restore, backup_restore::Mode::import}) {
        ManagedObjectContext context(ravelongModel());
        (void)backup_restore::readInto(info, context, mode);
    }
    (void)checkBackupFile(file);
    return 0;
}

}  // namespace ravelong::fuzzing
