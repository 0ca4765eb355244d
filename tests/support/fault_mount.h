#pragma once

#include <string>
#include <sys/types.h>

namespace testing_support {

// The fault_fs file system over `source`, mounted at `mountPoint` for as long as this lives.
class FaultMount {
public:
    // Why a fault layer cannot be mounted here (not root, no /dev/fuse, fault_fs not built);
    // empty when it can.
    static std::string unavailable();

    FaultMount(const std::string& source, const std::string& mountPoint);
    ~FaultMount();
    FaultMount(const FaultMount&) = delete;
    FaultMount& operator=(const FaultMount&) = delete;

    bool mounted() const noexcept { return mounted_; }

private:
    std::string mountPoint_;
    pid_t pid_ = -1;
    bool mounted_ = false;
};

} // namespace testing_support
