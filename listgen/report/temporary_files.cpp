#include "listgen/report/temporary_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace listgen {

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::pair<int, std::string>> files;
    std::mutex placing;
    std::atomic<bool> placed{false};
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void TemporaryFiles::add(int folderFd, const std::string& name)
{
    Registry& files = registry();
    const std::lock_guard lock(files.mutex);
    files.files.emplace_back(folderFd, name);
}

void TemporaryFiles::remove(int folderFd, const std::string& name)
{
    Registry& files = registry();
    const std::lock_guard lock(files.mutex);
    std::erase(files.files, std::pair<int, std::string>(folderFd, name));
}

std::unique_lock<std::mutex> TemporaryFiles::placing()
{
    return std::unique_lock(registry().placing);
}

void TemporaryFiles::placed()
{
    registry().placed = true;
}

bool TemporaryFiles::abandon(std::chrono::milliseconds wait)
{
    Registry& files = registry();
    std::unique_lock placing(files.placing, std::defer_lock);
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!placing.try_lock() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::lock_guard lock(files.mutex);
    for (const auto& [folder, name] : files.files)
        ::unlinkat(folder, name.c_str(), 0);
    files.files.clear();
    return files.placed;
}

} // namespace listgen
