#pragma once

#include "listgen/common/file_identity.h"

#include <atomic>
#include <cstddef>
#include <memory>

namespace listgen {

// The folders a run holds open, by the walk or by entries on their way to the hashers, against
// a quarter of the open files the process may have; the rest is for the files being read, the
// outputs and whatever else the process holds.
class OpenFolders {
public:
    OpenFolders();

    // Takes `fd`, an open folder, into a handle that counts as open until its last copy goes.
    SharedFolder adopt(int fd, const FileIdentity& identity);
    std::size_t open() const noexcept { return count_->load(std::memory_order_relaxed); }
    std::size_t budget() const noexcept { return budget_; }
    bool full() const noexcept { return open() >= budget_; }

private:
    std::shared_ptr<std::atomic<std::size_t>> count_;
    std::size_t budget_;
};

} // namespace listgen
