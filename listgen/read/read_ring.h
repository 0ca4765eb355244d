#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

struct statx;

namespace listgen {

// What one finished request came to: its tag and the system call's result (-errno on failure).
struct RingCompletion {
    std::uint64_t tag = 0;
    int result = 0;
};

// The requests the io_uring reader makes, behind an interface so that its logic can be tested
// against a ring that fails on purpose. A request's buffers and names must stay valid until
// its completion has been taken.
class ReadRing {
public:
    virtual ~ReadRing() = default;

    // Requests that may be in flight at once, so that no completion is ever lost.
    virtual unsigned capacity() const noexcept = 0;
    // Files that may be open at once, in slots numbered from 0.
    virtual unsigned fileSlots() const noexcept = 0;

    // Measures `name` in `folderFd` and, linked to that, opens it into `slot`: two requests,
    // two completions. Without `follow`, a link is measured and opened as itself.
    virtual void measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                                unsigned slot, std::uint64_t measureTag, std::uint64_t openTag) = 0;
    // `elsewhere`: done by the kernel's worker threads, on another core if one is free, rather
    // than while submitting: the copy of a large read then runs beside the hashing.
    virtual void read(unsigned slot, void* buffer, unsigned size, std::uint64_t offset, bool elsewhere,
                      std::uint64_t tag) = 0;
    virtual void close(unsigned slot, std::uint64_t tag) = 0;
    // Asks for every request in flight to end early; each still completes, if only with -ECANCELED.
    virtual void cancelAll(std::uint64_t tag) = 0;

    // Sends the requests made so far and takes the completions that are there; when there are
    // none, waits up to `wait` for one. Returns how many were written to `out`.
    virtual std::size_t submitAndTake(std::span<RingCompletion> out, std::chrono::milliseconds wait) = 0;
};

} // namespace listgen
