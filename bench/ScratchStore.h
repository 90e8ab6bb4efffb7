#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "bench/HeavyUserGenerator.h"
#include "foundation/Error.h"
#include "store/ManagedObjectContext.h"

namespace ravelong::bench {

// A private copy of a store file (with its journal), for a benchmark that changes data; removed
// with its side files (and the settings file a benchmark kept beside it) when the object goes.
class ScratchStore {
public:
    ScratchStore(const std::filesystem::path& source, const std::filesystem::path& directory,
                 const std::string& prefix);
    ~ScratchStore();
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

    bool ok() const { return ok_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    bool ok_ = false;
};

// A scratch copy of the heavy user's store, opened with a main context that has an undo
// manager; the copy goes when the object does.
class ScratchHeavyUserStore {
public:
    static Result<std::unique_ptr<ScratchHeavyUserStore>> open(const HeavyUserProfile& profile,
                                                               const std::string& prefix);

    ManagedObjectContext& context() { return *context_; }
    const std::filesystem::path& path() const { return copy_->path(); }

private:
    ScratchHeavyUserStore() = default;
    std::unique_ptr<ScratchStore> copy_;  // declared first: the context closes the file before
    std::unique_ptr<ManagedObjectContext> context_;
};

}  // namespace ravelong::bench
