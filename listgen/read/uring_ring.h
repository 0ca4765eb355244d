#pragma once

#include "listgen/read/read_ring.h"

#include <memory>
#include <system_error>

struct io_uring;
struct io_uring_sqe;

namespace listgen {

// An io_uring instance with registered file slots, set up to fit the limits in force (open
// files, locked memory) and torn down with it. Every call into the kernel is checked.
class UringRing : public ReadRing {
public:
    // Fails with the errno of the step that the kernel or the limits refused.
    static std::unique_ptr<UringRing> create(unsigned entries, unsigned slots, std::error_code& error);
    // True when this kernel lets the process use io_uring with everything the reader needs;
    // containers and hardened systems may refuse it (ENOSYS, EPERM).
    static bool available();

    ~UringRing() override;
    UringRing(const UringRing&) = delete;
    UringRing& operator=(const UringRing&) = delete;

    unsigned capacity() const noexcept override { return capacity_; }
    unsigned fileSlots() const noexcept override { return slots_; }
    void measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                        unsigned slot, std::uint64_t measureTag, std::uint64_t openTag) override;
    void read(unsigned slot, void* buffer, unsigned size, std::uint64_t offset, bool elsewhere,
              std::uint64_t tag) override;
    void close(unsigned slot, std::uint64_t tag) override;
    void cancelAll(std::uint64_t tag) override;
    std::size_t submitAndTake(std::span<RingCompletion> out, std::chrono::milliseconds wait) override;

private:
    explicit UringRing(std::unique_ptr<io_uring> ring);
    io_uring_sqe* nextEntry();
    void submit();

    std::unique_ptr<io_uring> ring_;
    unsigned capacity_ = 0;
    unsigned slots_ = 0;
};

} // namespace listgen
