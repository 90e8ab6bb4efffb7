#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "foundation/Error.h"
#include "store/BackgroundReader.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

// The store's second connection, shared by the background reads of the statistics (chart data,
// the calendar's day marks). It only reads; what it sees is the file as last saved by the main
// context.
//
// Thread-safe: callers on different threads take turns (each call holds the connection for its
// whole duration), so several background operations may share one connection.
class BackgroundConnection {
public:
    explicit BackgroundConnection(std::unique_ptr<BackgroundReader> reader);
    BackgroundConnection(const BackgroundConnection&) = delete;
    BackgroundConnection& operator=(const BackgroundConnection&) = delete;

    // Runs `work` with the connection to itself: for aggregate queries over several statements,
    // bracket them with the reader's beginSnapshot()/endSnapshot() inside `work`.
    Status read(const std::function<Status(BackgroundReader& reader)>& work);

    // A context holding a consistent copy of every record as the file is now. It has no store;
    // its changes cannot be saved. The caller owns it and may use it on its own thread.
    Result<std::unique_ptr<ManagedObjectContext>> loadContext();

private:
    std::mutex mutex_;
    std::unique_ptr<BackgroundReader> reader_;
};

}  // namespace ravelong
