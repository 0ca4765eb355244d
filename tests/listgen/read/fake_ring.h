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

// A ReadRing that runs each request with plain system calls when it is taken, with faults
// injected by file name. Reads land through a copy, so that a write into memory given back
// shows under AddressSanitizer; requests still in flight when the ring goes are a failure.
class FakeRing : public listgen::ReadRing {
public:
    explicit FakeRing(unsigned capacity = 64, unsigned slots = 16) : capacity_(capacity), slots_(slots, -1) {}

    ~FakeRing() override
    {
        EXPECT_EQ(queue_.size(), 0U) << "requests still in flight when the ring was torn down";
        // As the kernel would: the reads still finish, into whatever the buffers are now.
        while (!queue_.empty())
            run(queue_.front()), queue_.pop_front();
        for (const int fd : slots_) {
            if (fd >= 0)
                ::close(fd);
        }
    }

    std::map<std::string, ReadFaults> faults;
    // Reads after this many are held until cancelled.
    std::size_t readsBeforeHolding = ~std::size_t{0};
    // Reads of this file wait for this many calls, as reads of a slow file would; other
    // reads that complete meanwhile are counted.
    std::string slowFile;
    std::size_t slowForCalls = 0;
    std::size_t readsWhileSlow = 0;
    // The next submitAndTake throws, as a ring that fails does.
    bool failNextCall = false;
    std::size_t mostInFlight = 0;

    unsigned capacity() const noexcept override { return capacity_; }
    unsigned fileSlots() const noexcept override { return static_cast<unsigned>(slots_.size()); }

    void measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                        unsigned slot, std::uint64_t measureTag, std::uint64_t openTag) override
    {
        add({.kind = Kind::Measure, .tag = measureTag, .folderFd = folderFd, .name = name, .follow = follow, .status = status});
        add({.kind = Kind::Open, .tag = openTag, .folderFd = folderFd, .name = name, .follow = follow, .flags = openFlags,
             .slot = slot});
    }

    void read(unsigned slot, void* buffer, unsigned size, std::uint64_t offset, bool, std::uint64_t tag) override
    {
        add({.kind = Kind::Read, .tag = tag, .slot = slot, .buffer = buffer, .size = size, .offset = offset});
    }

    void close(unsigned slot, std::uint64_t tag) override { add({.kind = Kind::Close, .tag = tag, .slot = slot}); }

    void cancelAll(std::uint64_t tag) override
    {
        for (Request& request : queue_)
            request.cancelled = true;
        add({.kind = Kind::Cancel, .tag = tag});
    }

    std::size_t submitAndTake(std::span<listgen::RingCompletion> out, std::chrono::milliseconds) override
    {
        if (failNextCall) {
            failNextCall = false;
            throw std::runtime_error("the ring failed");
        }
        std::size_t taken = 0;
        std::deque<Request> held;
        const bool slow = ++calls_ <= slowForCalls;
        while (!queue_.empty() && taken < out.size()) {
            Request request = queue_.front();
            queue_.pop_front();
            const bool isRead = request.kind == Kind::Read && !request.cancelled;
            if (isRead && (readsRun_ >= readsBeforeHolding || (slow && names_[request.slot] == slowFile))) {
                held.push_back(request);
                continue;
            }
            if (isRead && slow)
                ++readsWhileSlow;
            out[taken++] = {request.tag, request.cancelled ? -ECANCELED : run(request)};
        }
        queue_.insert(queue_.begin(), held.begin(), held.end());
        return taken;
    }

private:
    enum class Kind { Measure, Open, Read, Close, Cancel };
    struct Request {
        Kind kind;
        std::uint64_t tag = 0;
        int folderFd = -1;
        std::string name{};
        bool follow = false;
        int flags = 0;
        struct statx* status = nullptr;
        unsigned slot = 0;
        void* buffer = nullptr;
        unsigned size = 0;
        std::uint64_t offset = 0;
        bool cancelled = false;
    };

    void add(const Request& request)
    {
        queue_.push_back(request);
        mostInFlight = std::max(mostInFlight, queue_.size());
        EXPECT_LE(queue_.size(), capacity_) << "more requests in flight than the ring holds";
    }

    int run(const Request& request)
    {
        switch (request.kind) {
        case Kind::Measure:
            return ::statx(request.folderFd, request.name.c_str(), request.follow ? 0 : AT_SYMLINK_NOFOLLOW,
                           STATX_BASIC_STATS, request.status) == 0
                       ? 0
                       : -errno;
        case Kind::Open: {
            const int fd =
                ::openat(request.folderFd, request.name.c_str(), request.flags | (request.follow ? 0 : O_NOFOLLOW));
            if (fd < 0)
                return -errno;
            names_[request.slot] = request.name.substr(request.name.rfind('/') + 1);
            slots_[request.slot] = fd;
            return 0;
        }
        case Kind::Read: {
            ++readsRun_;
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
        case Kind::Close: {
            const int result = ::close(slots_[request.slot]) == 0 ? 0 : -errno;
            slots_[request.slot] = -1;
            return result;
        }
        case Kind::Cancel:
            return 0;
        }
        return -EINVAL;
    }

    unsigned capacity_;
    std::vector<int> slots_;
    std::map<unsigned, std::string> names_;
    std::deque<Request> queue_;
    std::size_t readsRun_ = 0;
    std::size_t calls_ = 0;
};

} // namespace testing_support
