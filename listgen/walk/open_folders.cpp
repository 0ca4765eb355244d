#include "listgen/walk/open_folders.h"

#include "listgen/common/pseudo_files.h"

#include <sys/resource.h>

#include <algorithm>
#include <filesystem>

namespace listgen {

namespace {

constexpr std::size_t kMostFolderBudget = 1024;

std::size_t folderBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostFolderBudget;
    std::size_t open = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++open;
    const auto left = static_cast<std::size_t>(limit.rlim_cur) - std::min<std::size_t>(open, limit.rlim_cur);
    return std::clamp<std::size_t>(left / 4, 2, kMostFolderBudget);
}

} // namespace

OpenFolders::OpenFolders()
    : count_(std::make_shared<std::atomic<std::size_t>>(0))
    , budget_(folderBudget())
{
}

SharedFolder OpenFolders::adopt(int fd, const FileIdentity& identity)
{
    auto* handle = new FolderHandle;
    handle->fd.reset(fd);
    handle->identity = identity;
    handle->pseudoFiles = onPseudoFileSystem(fd);
    count_->fetch_add(1, std::memory_order_relaxed);
    return SharedFolder(handle, [count = count_](const FolderHandle* closing) {
        count->fetch_sub(1, std::memory_order_relaxed);
        delete closing;
    });
}

} // namespace listgen
