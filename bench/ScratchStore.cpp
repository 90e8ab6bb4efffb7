#include "bench/ScratchStore.h"

#include <unistd.h>

#include "core/model/RavelongModel.h"
#include "store/PersistentStore.h"
#include "store/ZRUndoManager.h"

namespace ravelong::bench {

ScratchStore::ScratchStore(const std::filesystem::path& source,
                           const std::filesystem::path& directory, const std::string& prefix)
    : path_(directory / (prefix + "-" + std::to_string(::getpid()) + ".sqlite")) {
    std::error_code ec;
    std::filesystem::copy_file(source, path_, std::filesystem::copy_options::overwrite_existing,
                               ec);
    ok_ = !ec;
    const std::filesystem::path wal = source.string() + "-wal";
    if (ok_ && std::filesystem::exists(wal)) {
        std::filesystem::copy_file(wal, path_.string() + "-wal",
                                   std::filesystem::copy_options::overwrite_existing, ec);
        ok_ = !ec;
    }
}

ScratchStore::~ScratchStore() {
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm", ".lock", ".settings.json"})
        std::filesystem::remove(path_.string() + suffix, ec);
}

Result<std::unique_ptr<ScratchHeavyUserStore>> ScratchHeavyUserStore::open(
    const HeavyUserProfile& profile, const std::string& prefix) {
    auto file = heavyUserStoreFile(benchDataDirectory(), profile);
    if (!file)
        return file.error();
    std::unique_ptr<ScratchHeavyUserStore> scratch(new ScratchHeavyUserStore());
    scratch->copy_ = std::make_unique<ScratchStore>(*file, benchDataDirectory(), prefix);
    if (!scratch->copy_->ok())
        return Error{kRavelongErrorDomain, 1, "Cannot copy " + file->string(), ""};
    auto store = PersistentStore::open(scratch->copy_->path(), ravelongModel());
    if (!store)
        return store.error();
    auto opened = ManagedObjectContext::openMainContext(store.value());
    if (!opened)
        return opened.error();
    scratch->context_ = std::move(opened.value());
    scratch->context_->setUndoManager(std::make_unique<ZRUndoManager>());
    return scratch;
}

}  // namespace ravelong::bench
