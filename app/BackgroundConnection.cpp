#include "app/BackgroundConnection.h"

namespace ravelong {

BackgroundConnection::BackgroundConnection(std::unique_ptr<BackgroundReader> reader)
    : reader_(std::move(reader)) {}

Status BackgroundConnection::read(const std::function<Status(BackgroundReader& reader)>& work) {
    std::lock_guard lock(mutex_);
    Status status = work(*reader_);
    // A snapshot left open by `work` would pin the file's old state for the next caller.
    reader_->endSnapshot();
    return status;
}

Result<std::unique_ptr<ManagedObjectContext>> BackgroundConnection::loadContext() {
    std::lock_guard lock(mutex_);
    return reader_->loadContext();
}

}  // namespace ravelong
