#pragma once

#include "listgen/digest/md5_kernel_rates.h"
#include "listgen/digest/md5_kernel_set.h"
#include "listgen/digest/md5_rounds.h"
#include "listgen/digest/md5_value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace listgen {

// Where a stream has got to, so that it can go on in another Md5Lanes, on another thread.
struct Md5StreamState {
    std::uint32_t words[4] = {md5::kInitialState[0], md5::kInitialState[1], md5::kInitialState[2], md5::kInitialState[3]};
    // Bytes hashed so far, those of `partial` included.
    std::uint64_t length = 0;
    // The last length % 64 bytes, which do not make a whole block yet.
    unsigned char partial[64] = {};
};

// MD5 of many independent messages at once, one per SIMD lane (up to 32 with AVX-512).
//
// Made once per thread: every buffer is allocated in the constructor, nothing is allocated
// per message, and nothing after construction fails. The caller owns the bytes:
//  - submit() hands over a whole message; its bytes stay valid until its digest comes out.
//  - openStream(), feed() and finish() hand over a message in chunks; each chunk stays
//    valid until takeReleased() returns its tag. A stream id is valid from openStream()
//    to finish(); after that it may be handed out again.
// hash() computes while every lane has work, starting the next queued message in a lane
// the moment its message ends; flush() also runs with lanes idle, in the kernel with the best
// rate for the work there is (by the kernel rates), and computes everything whose bytes have
// arrived; streams take turns in a kernel narrower than their number. Digests come out of
// takeDigests() with the tag they went in with, in no particular order.
//
// A reader thread typically loops: submit or feed what its reads delivered, hash(), take
// digests and released chunks, reuse their buffers; it calls flush() when it has no reads
// in flight or has to wait for buffers (with only streams in flight hash() may wait for
// lanes that never fill), and at the end.
//
// Not thread-safe; movable, not copyable. A moved-from object may only be destroyed.
class Md5Lanes {
public:
    struct Options {
        Md5KernelSet kernels = Md5KernelSet::Automatic;
        // What each kernel does on this CPU, by name; when null, what md5Rates() measured for
        // Automatic, and for a named set a narrower kernel counts as faster per lane.
        const Md5KernelRates* rates = nullptr;
        // Whole messages submitted and not yet taken out as digests.
        std::size_t messages = 256;
        // Streams opened and not yet taken out as digests.
        std::size_t streams = 16;
        // Chunks fed to one stream and not yet released.
        std::size_t chunksPerStream = 4;
        // Limit the lane counts of the kernels used (benchmarks and tests): the widest runs
        // while every lane is busy, narrower ones as lanes run dry; below narrowestLanes
        // idle lanes stay in the narrowest allowed kernel.
        unsigned widestLanes = 32;
        unsigned narrowestLanes = 1;
    };

    using StreamId = std::uint32_t;
    static constexpr StreamId kNoStream = ~StreamId{0};

    // Throws std::invalid_argument if the CPU cannot run options.kernels or no kernel of it
    // fits the lane limits, SystemError if OpenSSL cannot set up MD5.
    explicit Md5Lanes(const Options& options);
    Md5Lanes();
    ~Md5Lanes();
    Md5Lanes(Md5Lanes&&) noexcept;
    Md5Lanes& operator=(Md5Lanes&&) noexcept;

    // Lanes of the widest kernel in use.
    unsigned lanes() const;

    bool canSubmit() const;
    // Returns false, taking nothing, when Options::messages digests are outstanding.
    bool submit(const void* data, std::size_t size, std::uint64_t tag);

    // Returns kNoStream when Options::streams streams are outstanding. A stream opened from a
    // state goes on from there.
    StreamId openStream(std::uint64_t tag, const Md5StreamState& from = {});
    bool canFeed(StreamId stream) const;
    // Returns false, taking nothing, when the stream or all streams have as many chunks
    // outstanding as the options allow; take released chunks or hash to make room.
    bool feed(StreamId stream, const void* data, std::size_t size, std::uint64_t chunkTag);
    // No more chunks; the digest comes out once the fed bytes are hashed.
    void finish(StreamId stream);
    // Hashes what was fed to an unfinished stream and takes it out: its chunks come back
    // through takeReleased(), no digest comes out, and its id is free again.
    Md5StreamState exportStream(StreamId stream);

    void hash();
    void flush();
    // True when flush() would have nothing to do.
    bool idle() const;

    // Move up to out.size() finished digests / released chunk tags into out; return the count.
    std::size_t takeDigests(std::span<Md5Result> out);
    std::size_t takeReleased(std::span<std::uint64_t> out);

    // Lane counts of the kernels of a set, widest first.
    static std::vector<unsigned> laneCounts(Md5KernelSet set);

    // One message through a fresh Md5Lanes; for tests and one-off use.
    static Md5Value md5(std::string_view data, Md5KernelSet kernels = Md5KernelSet::Automatic);
    static Md5Hex md5Hex(std::string_view data, Md5KernelSet kernels = Md5KernelSet::Automatic);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace listgen
