#include "listgen/common/user_access.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace listgen {

namespace {

constexpr mode_t kRead = 4;
constexpr mode_t kWrite = 2;
constexpr mode_t kSearch = 1;

// The groups `user` belongs to, looked up once per run and user.
std::vector<gid_t> groupsOf(uid_t user)
{
    static std::mutex mutex;
    static std::map<uid_t, std::vector<gid_t>> known;
    const std::lock_guard lock(mutex);
    if (const auto found = known.find(user); found != known.end())
        return found->second;
    std::vector<gid_t> groups;
    passwd entry {};
    passwd* result = nullptr;
    std::vector<char> text(16384);
    if (::getpwuid_r(user, &entry, text.data(), text.size(), &result) == 0 && result != nullptr) {
        int count = 64;
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
            groups.resize(static_cast<std::size_t>(count));
            ::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count);
        }
        groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    }
    return known.emplace(user, std::move(groups)).first->second;
}

bool allows(uid_t user, const std::vector<gid_t>& groups, const struct stat& status, mode_t wanted)
{
    const mode_t bits = status.st_uid == user ? status.st_mode >> 6
                        : std::find(groups.begin(), groups.end(), status.st_gid) != groups.end() ? status.st_mode >> 3
                                                                                                : status.st_mode;
    return (bits & wanted) == wanted;
}

// Every folder above the open file or folder `fd` lets `user` search it, and `fd` itself
// allows `wanted`; what cannot be measured allows nothing.
bool reachable(uid_t user, int fd, mode_t wanted, struct stat& status)
{
    const std::vector<gid_t> groups = groupsOf(user);
    std::string path(4096, '\0');
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) == path.size() || path[0] != '/' || ::fstat(fd, &status) != 0)
        return false;
    path.resize(static_cast<std::size_t>(length));
    for (std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0; slash = path.rfind('/', slash - 1)) {
        struct stat folder {};
        if (::stat(path.substr(0, slash).c_str(), &folder) != 0 || !allows(user, groups, folder, kSearch))
            return false;
    }
    struct stat root {};
    return ::stat("/", &root) == 0 && allows(user, groups, root, kSearch) && allows(user, groups, status, wanted);
}

} // namespace

bool UserAccess::mayRead(uid_t user, int fd)
{
    struct stat status {};
    return user == 0 || reachable(user, fd, kRead, status);
}

bool UserAccess::mayReplace(uid_t user, int folderFd, const struct stat* existing)
{
    if (user == 0 || (existing != nullptr && existing->st_uid == user))
        return true;
    struct stat folder {};
    if (!reachable(user, folderFd, kWrite | kSearch, folder))
        return false;
    // In a sticky folder only the owners of the entry or of the folder may replace an entry.
    return (folder.st_mode & S_ISVTX) == 0 || existing == nullptr || folder.st_uid == user;
}

} // namespace listgen
