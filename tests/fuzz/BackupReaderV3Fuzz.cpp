// The reader of generation-3 backups on arbitrary bytes.
#include "fuzz/BackupFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return ravelong::fuzzing::fuzzBackupReader(data, size, 3);
}
