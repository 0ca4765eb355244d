#pragma once

#include "listgen/read/read_ring.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// How reads of one file misbehave.
struct ReadFaults {
    std::size_t mostBytesPerRead = 0; // 0: as many as asked
    int eagain = 0;                   // the first reads fail with EAGAIN, this many
    int eintr = 0;
    int ecanceled = 0;
    int failWith = 0;                 // every read fails with this errno
};

// A ReadRing that measures and opens with plain system calls at once and reads when the
// completion is taken, with faults injected by file name. Reads land through a copy, so that a
// write into memory given back shows under AddressSanitizer; requests still in flight when
// the ring goes are a failure.
class FakeRing : public listgen::ReadRing {
public:
    explicit FakeRing(unsigned capacity = 64, unsigned slots = 16) : capacity_(capacity), slots_(slots, -1) {}

    ~FakeRing() override
    {
        EXPECT_EQ(queue_.size(), 0U) << "requests still in flight when the ring was torn down";
        // As the kernel would: the reads still finish, into whatever the buffers are now.
        while (!queue_.empty())
            run(queue_.front()), queue_.pop_front();
        for (const int fd : slots_)
            ::close(fd);
    }

    std::map<std::string, ReadFaults> faults;
    // Reads after this many are held until cancelled.
    std::size_t readsBeforeHolding = ~std::size_t{0};
    // The next submitAndTake throws, as a ring that fails does.
    bool failNextCall = false;
    // Files read through the ring, so that a test can tell none went to the file-by-file reader.
    std::set<std::string> filesRead;

    unsigned capacity() const noexcept override { return capacity_; }
    unsigned fileSlots() const noexcept override { return static_cast<unsigned>(slots_.size()); }

    void measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                        unsigned slot, std::uint64_t measureTag, std::uint64_t openTag) override
    {
        const int measured = ::statx(folderFd, name, follow ? 0 : AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, status);
        add({.kind = Kind::Done, .tag = measureTag, .result = measured == 0 ? 0 : -errno});
        slots_[slot] = ::openat(folderFd, name, openFlags | (follow ? 0 : O_NOFOLLOW));
        names_[slot] = std::string(name).substr(std::string(name).rfind('/') + 1);
        add({.kind = Kind::Done, .tag = openTag, .result = slots_[slot] >= 0 ? 0 : -errno});
    }

    void read(unsigned slot, void* buffer, unsigned size, std::uint64_t offset, bool, std::uint64_t tag) override
    {
        add({.kind = Kind::Read, .tag = tag, .slot = slot, .buffer = buffer, .size = size, .offset = offset});
    }

    void close(unsigned slot, std::uint64_t tag) override { add({.kind = Kind::Close, .tag = tag, .slot = slot}); }

    void cancelAll(std::uint64_t tag) override
    {
        for (Request& request : queue_)
            request.result = request.kind == Kind::Read ? -ECANCELED : request.result;
        add({.kind = Kind::Done, .tag = tag});
    }

    std::size_t submitAndTake(std::span<listgen::RingCompletion> out, std::chrono::milliseconds) override
    {
        if (failNextCall) {
            failNextCall = false;
            throw std::runtime_error("the ring failed");
        }
        std::size_t taken = 0;
        std::deque<Request> held;
        for (; !queue_.empty() && taken < out.size(); queue_.pop_front()) {
            if (queue_.front().kind == Kind::Read && queue_.front().result == 0 && readsRun_ >= readsBeforeHolding)
                held.push_back(queue_.front());
            else
                out[taken++] = {queue_.front().tag, run(queue_.front())};
        }
        queue_.insert(queue_.begin(), held.begin(), held.end());
        return taken;
    }

private:
    enum class Kind { Done, Read, Close };
    struct Request {
        Kind kind;
        std::uint64_t tag = 0;
        int result = 0; // a Read's once cancelled
        unsigned slot = 0;
        void* buffer = nullptr;
        unsigned size = 0;
        std::uint64_t offset = 0;
    };

    void add(const Request& request)
    {
        queue_.push_back(request);
        EXPECT_LE(queue_.size(), capacity_) << "more requests in flight than the ring holds";
    }

    int run(const Request& request)
    {
        if (request.kind == Kind::Close) {
            const int result = ::close(slots_[request.slot]) == 0 ? 0 : -errno;
            slots_[request.slot] = -1;
            return result;
        }
        if (request.kind == Kind::Done || request.result != 0)
            return request.result;
        ++readsRun_;
        filesRead.insert(names_[request.slot]);
        ReadFaults& fault = faults[names_[request.slot]];
        if (fault.eagain > 0)
            return --fault.eagain, -EAGAIN;
        if (fault.eintr > 0)
            return --fault.eintr, -EINTR;
        if (fault.ecanceled > 0)
            return --fault.ecanceled, -ECANCELED;
        if (fault.failWith != 0)
            return -fault.failWith;
        std::size_t size = request.size;
        if (fault.mostBytesPerRead > 0)
            size = std::min(size, fault.mostBytesPerRead);
        std::vector<char> landed(size);
        const ssize_t count = ::pread(slots_[request.slot], landed.data(), size, static_cast<off_t>(request.offset));
        if (count < 0)
            return -errno;
        std::memcpy(request.buffer, landed.data(), static_cast<std::size_t>(count));
        return static_cast<int>(count);
    }

    unsigned capacity_;
    std::vector<int> slots_;
    std::map<unsigned, std::string> names_;
    std::deque<Request> queue_;
    std::size_t readsRun_ = 0;
};

} // namespace testing_support
