#pragma once

#include "listgen/read/read_ring.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>

namespace listgen {

// Sends requests through a ReadRing and hands back what they came to. A read that gives fewer
// bytes than asked reads on from there, and one interrupted (EINTR) or told to try again
// (EAGAIN) is sent again, so a caller sees only whole reads, the end of the file, or a real
// error; requests that do not fit in the ring wait until completions make room.
class ReadStep {
public:
    struct Done {
        std::uint64_t tag = 0;
        // For a read, the bytes read in all; otherwise the request's result.
        int result = 0;
    };

    // Times one request is sent again before its EAGAIN or EINTR is handed back.
    static constexpr unsigned kMostRetries = 64;

    explicit ReadStep(ReadRing& ring);
    // Drains, so the ring never writes into memory that has been given back.
    ~ReadStep();
    ReadStep(const ReadStep&) = delete;
    ReadStep& operator=(const ReadStep&) = delete;

    unsigned fileSlots() const noexcept { return ring_.fileSlots(); }
    // Requests sent or waiting to be sent, whose completions have not been handed back.
    std::size_t pending() const noexcept { return records_.size() - freeRecords_.size(); }

    void measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                        unsigned slot, std::uint64_t measureTag, std::uint64_t openTag);
    // Reads up to `size` bytes at `offset`. A short read reads on, unless it ended where the
    // file is expected to end (`expectedEnd`, an offset) or at the end of the file.
    void read(unsigned slot, char* buffer, std::size_t size, std::uint64_t offset, std::uint64_t expectedEnd,
              bool elsewhere, std::uint64_t tag);
    void close(unsigned slot, std::uint64_t tag);

    // Sends what waits, and appends what has completed to `done`; waits up to `wait` when
    // nothing has.
    void advance(std::vector<Done>& done, std::chrono::milliseconds wait);

    // Cancels every request in flight and takes every completion; afterwards the ring holds
    // no request and writes nowhere. False when the ring failed, so that buffers must not be
    // given back; the requests that waited are dropped either way.
    bool drain() noexcept;

private:
    enum class Kind : std::uint8_t { Measure, Open, Read, Close };

    struct Record {
        Kind kind = Kind::Read;
        bool inRing = false;
        unsigned slot = 0;
        unsigned retries = 0;
        std::uint64_t tag = 0;
        // Reads: where the next bytes go, and how far the read has got.
        char* buffer = nullptr;
        std::size_t size = 0;
        std::size_t got = 0;
        std::uint64_t offset = 0;
        std::uint64_t expectedEnd = 0;
        bool elsewhere = false;
        // Measure and open go out together, each knowing the other.
        std::size_t partner = 0;
        unsigned halvesDone = 0;
        int folderFd = -1;
        const char* name = nullptr;
        bool follow = false;
        int openFlags = 0;
        struct statx* status = nullptr;
    };

    std::size_t newRecord(Kind kind, std::uint64_t tag);
    void release(std::size_t index);
    unsigned requestsOf(const Record& record) const noexcept;
    void sendWaiting();
    void send(std::size_t index);
    void completed(std::size_t index, int result, std::vector<Done>& done);

    ReadRing& ring_;
    std::vector<Record> records_;
    std::vector<std::size_t> freeRecords_;
    std::deque<std::size_t> waiting_;
    unsigned inRing_ = 0;
    std::vector<RingCompletion> completions_;
};

} // namespace listgen
