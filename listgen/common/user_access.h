#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace listgen {

// What another user may do with a file, told by permission bits and group membership (ACLs
// are not read), so that the process does nothing on a user's behalf that the user could
// not do: root may do everything.
class UserAccess {
public:
    // May `user` read the file open as `fd` (O_PATH will do), reaching it by its path?
    static bool mayRead(uid_t user, int fd);
    // May `user` replace what `existing` describes in the open folder `folderFd` (nothing
    // when null), reaching the folder by its path?
    static bool mayReplace(uid_t user, int folderFd, const struct stat* existing);
};

} // namespace listgen
