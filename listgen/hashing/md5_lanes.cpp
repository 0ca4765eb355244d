#include "listgen/hashing/md5_lanes.h"

#include "listgen/hashing/evp_digest.h"
#include "listgen/hashing/fixed_ring.h"
#include "listgen/hashing/md5_kernel.h"
#include "listgen/hashing/md5_rounds.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace listgen {

namespace {

using md5::BlockKernel;
using md5::kMaxLanes;
using md5::kPlanBlocks;

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kMaxLadder = 8;
constexpr std::size_t kPrefetchAhead = 8;

struct Ladder {
    const BlockKernel* kernels[kMaxLadder] = {};
    unsigned size = 0;

    void add(const BlockKernel* table, unsigned count)
    {
        for (unsigned i = 0; i < count && size < kMaxLadder; ++i)
            kernels[size++] = &table[i];
    }
};

// SSE2 and AVX2 end in the scalar kernels: one or two lanes left are faster in general
// registers than in mostly idle SSE registers. AVX-512's four-lane kernel, with its rotates and
// three-input logic, is faster than them even with a single lane busy.
Ladder fullLadder(Md5KernelSet set)
{
    Ladder ladder;
    switch (set) {
#if LISTGEN_MD5_X86_KERNELS
    case Md5KernelSet::Avx512:
        ladder.add(md5::kAvx512Kernels, md5::kAvx512KernelCount);
        return ladder;
    case Md5KernelSet::Avx2:
        ladder.add(md5::kAvx2Kernels, md5::kAvx2KernelCount);
        ladder.add(&md5::kSse2Kernels[md5::kSse2KernelCount - 1], 1);
        break;
    case Md5KernelSet::Sse2:
        ladder.add(md5::kSse2Kernels, md5::kSse2KernelCount);
        break;
#endif
    case Md5KernelSet::OpenSsl:
        return ladder;
    default:
        break;
    }
    ladder.add(md5::kScalarKernels, md5::kScalarKernelCount);
    return ladder;
}

// Writes the last size % 64 bytes of a message, the padding and the bit length; returns
// the number of blocks written (one, or two when the length does not fit behind the rest).
std::size_t buildTail(unsigned char* out, const unsigned char* rest, std::size_t restSize, std::uint64_t messageSize)
{
    if (restSize > 0)
        std::memcpy(out, rest, restSize);
    out[restSize] = 0x80;
    const std::size_t blocks = restSize < kBlockSize - 8 ? 1 : 2;
    const std::size_t end = blocks * kBlockSize;
    std::memset(out + restSize + 1, 0, end - 8 - restSize - 1);
    const std::uint64_t bits = messageSize * 8;
    for (int i = 0; i < 8; ++i)
        out[end - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
    return blocks;
}

Md5Value valueOf(const md5::LaneState& state, unsigned lane)
{
    Md5Value value;
    for (int row = 0; row < 4; ++row) {
        const std::uint32_t word = state.word[row][lane];
        for (int i = 0; i < 4; ++i)
            value[4 * row + i] = static_cast<unsigned char>(word >> (8 * i));
    }
    return value;
}

} // namespace

struct Md5Lanes::Impl {
    struct Message {
        const unsigned char* data;
        std::size_t size;
        std::uint64_t tag;
    };

    struct Chunk {
        const unsigned char* data;
        std::size_t size;
        std::uint64_t tag;
    };

    struct Stream {
        bool finished = false;
        // In readyStreams, waiting for a lane.
        bool queued = false;
        int lane = -1;
        std::uint64_t tag = 0;
        // Bytes taken out of chunks so far.
        std::uint64_t length = 0;
        // Chaining value while the stream has no lane.
        std::uint32_t words[4] = {};
        // How far the first queued chunk has been taken.
        std::size_t offset = 0;
        // Bytes of a block split across chunks.
        std::size_t carrySize = 0;
        unsigned char carry[kBlockSize];
        FixedRing<Chunk> chunks;
        std::unique_ptr<EvpMd5> evp;
    };

    struct Lane {
        bool busy = false;
        // The second block of a two-block tail did not fit in the last call.
        bool tailPending = false;
        StreamId stream = kNoStream;
        std::uint64_t tag = 0;
        const unsigned char* message = nullptr;
        std::uint64_t size = 0;
        // Bytes of the message planned so far.
        std::uint64_t offset = 0;
        alignas(64) unsigned char tail[2 * kBlockSize];
    };

    enum class Ending : std::uint8_t { Message, Stream, Parked };

    // A lane's job that ends with a block of the current plan.
    struct Finish {
        unsigned lane;
        unsigned block;
        Ending ending;
        StreamId stream;
        std::uint64_t tag;
    };

    struct Output {
        Md5Result result;
        bool fromStream;
    };

    Options options;
    Ladder ladder;
    unsigned width = 1;

    md5::LaneState state;
    md5::BlockPlan plan = {};
    Lane lanes[kMaxLanes];
    unsigned busyCount = 0;
    // Padded tails and blocks pieced together from chunks, one row per plan block.
    alignas(64) unsigned char blockStore[kMaxLanes][kPlanBlocks][kBlockSize];
    Finish finishes[kMaxLanes * kPlanBlocks];
    unsigned finishCount = 0;
    // Chunks fully planned, released once the kernel has read them.
    std::vector<std::uint64_t> releasing;

    FixedRing<Message> messages;
    std::vector<Stream> streams;
    FixedRing<StreamId> freeStreams;
    FixedRing<StreamId> readyStreams;
    FixedRing<Output> outputs;
    FixedRing<std::uint64_t> released;
    std::size_t messagesOutstanding = 0;
    std::size_t streamsOutstanding = 0;
    std::size_t chunksOutstanding = 0;
    std::unique_ptr<EvpMd5> evp;

    explicit Impl(const Options& chosen);

    void run(bool withIdleLanes);
    void runOpenSsl();
    void refill();
    const BlockKernel& pickKernel() const;
    void packInto(unsigned laneCount);
    void moveLane(unsigned from, unsigned to);
    void startMessage(unsigned lane, const Message& message, unsigned block);
    void placeStream(unsigned lane, StreamId id);
    unsigned planLane(unsigned lane);
    unsigned planMessage(unsigned lane, unsigned block);
    unsigned planStream(unsigned lane, unsigned block);
    unsigned planTail(unsigned lane, unsigned block, const unsigned char* rest, std::size_t restSize,
                      std::uint64_t messageSize);
    void endJob(unsigned lane, unsigned block, Ending ending);
    void parkNow(unsigned lane);
    void completeFinishes();
    void makeReady(StreamId id);
    void emit(std::uint64_t tag, const Md5Value& value, bool fromStream);
};

Md5Lanes::Impl::Impl(const Options& chosen)
    : options(chosen)
    , messages(chosen.messages)
    , streams(chosen.streams)
    , freeStreams(chosen.streams)
    , readyStreams(chosen.streams)
    , outputs(chosen.messages + chosen.streams)
    , released(chosen.streams * chosen.chunksPerStream)
{
    const Md5KernelSet set = chosen.kernels == Md5KernelSet::Automatic ? bestKernelSet() : chosen.kernels;
    if (!cpuRuns(set))
        throw std::invalid_argument("this CPU cannot run the " + std::string(kernelSetName(set)) + " MD5 kernels");
    if (chosen.messages == 0 && chosen.streams == 0)
        throw std::invalid_argument("an Md5Lanes needs room for messages or streams");
    if (chosen.streams > 0 && chosen.chunksPerStream == 0)
        throw std::invalid_argument("streams need room for at least one chunk");

    if (set == Md5KernelSet::OpenSsl) {
        evp = std::make_unique<EvpMd5>();
    } else {
        for (const BlockKernel* kernel : fullLadder(set).kernels) {
            if (kernel && kernel->lanes <= chosen.widestLanes && kernel->lanes >= chosen.narrowestLanes)
                ladder.add(kernel, 1);
        }
        if (ladder.size == 0)
            throw std::invalid_argument("no " + std::string(kernelSetName(set)) + " MD5 kernel has between " +
                                        std::to_string(chosen.narrowestLanes) + " and " +
                                        std::to_string(chosen.widestLanes) + " lanes");
        width = ladder.kernels[0]->lanes;
    }
    releasing.reserve(released.capacity());

    for (StreamId id = 0; id < streams.size(); ++id) {
        streams[id].chunks = FixedRing<Chunk>(chosen.chunksPerStream);
        if (evp)
            streams[id].evp = std::make_unique<EvpMd5>();
        freeStreams.push(id);
    }
}

void Md5Lanes::Impl::makeReady(StreamId id)
{
    Stream& stream = streams[id];
    if (stream.lane < 0 && !stream.queued) {
        stream.queued = true;
        readyStreams.push(id);
    }
}

void Md5Lanes::Impl::emit(std::uint64_t tag, const Md5Value& value, bool fromStream)
{
    outputs.push({{tag, value}, fromStream});
}

void Md5Lanes::Impl::startMessage(unsigned lane, const Message& message, unsigned block)
{
    Lane& slot = lanes[lane];
    slot.busy = true;
    slot.tailPending = false;
    slot.stream = kNoStream;
    slot.tag = message.tag;
    slot.message = message.data;
    slot.size = message.size;
    slot.offset = 0;
    // Later in the plan the kernel's restart has already set the initial value.
    if (block == 0) {
        for (int row = 0; row < 4; ++row)
            state.word[row][lane] = md5::kInitialState[row];
    }
}

void Md5Lanes::Impl::placeStream(unsigned lane, StreamId id)
{
    Stream& stream = streams[id];
    Lane& slot = lanes[lane];
    slot.busy = true;
    slot.tailPending = false;
    slot.stream = id;
    stream.lane = static_cast<int>(lane);
    for (int row = 0; row < 4; ++row)
        state.word[row][lane] = stream.words[row];
}

// Streams go first: they are the large files, and started late they would end up alone.
void Md5Lanes::Impl::refill()
{
    for (unsigned lane = 0; lane < width; ++lane) {
        if (lanes[lane].busy)
            continue;
        if (!readyStreams.empty()) {
            const StreamId id = readyStreams.front();
            readyStreams.pop();
            streams[id].queued = false;
            placeStream(lane, id);
        } else if (!messages.empty()) {
            startMessage(lane, messages.front(), 0);
            messages.pop();
        } else {
            return;
        }
        ++busyCount;
    }
}

void Md5Lanes::Impl::endJob(unsigned lane, unsigned block, Ending ending)
{
    Lane& slot = lanes[lane];
    plan.restart[block] |= std::uint32_t{1} << lane;
    finishes[finishCount++] = {lane, block, ending, slot.stream, slot.tag};
    slot.busy = false;
}

// A stream that has nothing to hash before the plan starts keeps its chaining value as is.
void Md5Lanes::Impl::parkNow(unsigned lane)
{
    Lane& slot = lanes[lane];
    Stream& stream = streams[slot.stream];
    for (int row = 0; row < 4; ++row)
        stream.words[row] = state.word[row][lane];
    stream.lane = -1;
    slot.busy = false;
}

// Plans the lane's blocks from the start of the call, taking queued messages whenever a job
// ends; returns how many blocks have real work.
unsigned Md5Lanes::Impl::planLane(unsigned lane)
{
    Lane& slot = lanes[lane];
    unsigned block = 0;
    if (slot.busy && slot.tailPending) {
        // Copied out first: a later message of this plan may straddle into slot.tail again.
        std::memcpy(blockStore[lane][0], slot.tail + kBlockSize, kBlockSize);
        plan.rows[0][lane] = blockStore[lane][0];
        slot.tailPending = false;
        endJob(lane, 0, slot.stream == kNoStream ? Ending::Message : Ending::Stream);
        block = 1;
    }
    while (block < kPlanBlocks) {
        if (!slot.busy) {
            if (messages.empty())
                break;
            startMessage(lane, messages.front(), block);
            messages.pop();
            // Small files are mostly their first line and their last; fetch them a few starts ahead.
            if (messages.size() > kPrefetchAhead) {
                const Message& upcoming = messages.at(kPrefetchAhead);
                __builtin_prefetch(upcoming.data);
                __builtin_prefetch(upcoming.data + upcoming.size / 2);
                __builtin_prefetch(upcoming.data + (upcoming.size > 0 ? upcoming.size - 1 : 0));
            }
        }
        const unsigned planned = slot.stream == kNoStream ? planMessage(lane, block) : planStream(lane, block);
        if (planned == block && slot.busy)
            break;
        block = planned;
    }
    return block;
}

unsigned Md5Lanes::Impl::planMessage(unsigned lane, unsigned block)
{
    Lane& slot = lanes[lane];
    const std::uint64_t wholeBlocks = (slot.size - slot.offset) / kBlockSize;
    const unsigned count = static_cast<unsigned>(std::min<std::uint64_t>(wholeBlocks, kPlanBlocks - block));
    const unsigned char* next = slot.message + slot.offset;
    for (unsigned i = 0; i < count; ++i)
        plan.rows[block + i][lane] = next + i * kBlockSize;
    slot.offset += count * kBlockSize;
    block += count;
    if (wholeBlocks > count)
        return block;
    const std::size_t restSize = slot.size - slot.offset;
    return planTail(lane, block, restSize > 0 ? slot.message + slot.offset : nullptr, restSize, slot.size);
}

// Plans the stream's bytes: whole blocks straight from its chunks, blocks split across
// chunks from the carry, the padded tail once it is finished. Running out of bytes parks it.
unsigned Md5Lanes::Impl::planStream(unsigned lane, unsigned block)
{
    Lane& slot = lanes[lane];
    Stream& stream = streams[slot.stream];
    while (block < kPlanBlocks) {
        if (stream.chunks.empty()) {
            if (stream.finished)
                return planTail(lane, block, stream.carry, stream.carrySize, stream.length);
            if (block == 0)
                parkNow(lane);
            else
                endJob(lane, block - 1, Ending::Parked);
            return block;
        }
        const Chunk& chunk = stream.chunks.front();
        const std::size_t available = chunk.size - stream.offset;
        if (available == 0) {
            releasing.push_back(chunk.tag);
            stream.chunks.pop();
            stream.offset = 0;
            continue;
        }
        if (stream.carrySize > 0 || available < kBlockSize) {
            const std::size_t take = std::min(kBlockSize - stream.carrySize, available);
            std::memcpy(stream.carry + stream.carrySize, chunk.data + stream.offset, take);
            stream.carrySize += take;
            stream.offset += take;
            stream.length += take;
            if (stream.carrySize == kBlockSize) {
                std::memcpy(blockStore[lane][block], stream.carry, kBlockSize);
                plan.rows[block][lane] = blockStore[lane][block];
                stream.carrySize = 0;
                ++block;
            }
            continue;
        }
        const std::size_t count = std::min<std::size_t>(available / kBlockSize, kPlanBlocks - block);
        for (std::size_t i = 0; i < count; ++i)
            plan.rows[block + i][lane] = chunk.data + stream.offset + i * kBlockSize;
        stream.offset += count * kBlockSize;
        stream.length += count * kBlockSize;
        block += static_cast<unsigned>(count);
    }
    return block;
}

// A two-block tail with one block of the plan left hashes its second block next call, from
// the lane's own buffer; every other tail goes in the block store.
unsigned Md5Lanes::Impl::planTail(unsigned lane, unsigned block, const unsigned char* rest, std::size_t restSize,
                                  std::uint64_t messageSize)
{
    if (block == kPlanBlocks)
        return block;
    Lane& slot = lanes[lane];
    const Ending ending = slot.stream == kNoStream ? Ending::Message : Ending::Stream;
    if (block + 1 == kPlanBlocks && restSize >= kBlockSize - 8) {
        buildTail(slot.tail, rest, restSize, messageSize);
        plan.rows[block][lane] = slot.tail;
        slot.tailPending = true;
        return kPlanBlocks;
    }
    unsigned char* store = blockStore[lane][block];
    const std::size_t blocks = buildTail(store, rest, restSize, messageSize);
    for (std::size_t i = 0; i < blocks; ++i)
        plan.rows[block + i][lane] = store + i * kBlockSize;
    block += static_cast<unsigned>(blocks);
    endJob(lane, block - 1, ending);
    return block;
}

void Md5Lanes::Impl::completeFinishes()
{
    for (unsigned i = 0; i < finishCount; ++i) {
        const Finish& finish = finishes[i];
        const md5::LaneState& snapshot = plan.snapshot[finish.block];
        plan.restart[finish.block] = 0;
        switch (finish.ending) {
        case Ending::Message:
            emit(finish.tag, valueOf(snapshot, finish.lane), false);
            break;
        case Ending::Stream: {
            Stream& stream = streams[finish.stream];
            emit(stream.tag, valueOf(snapshot, finish.lane), true);
            stream.lane = -1;
            freeStreams.push(finish.stream);
            break;
        }
        case Ending::Parked: {
            Stream& stream = streams[finish.stream];
            for (int row = 0; row < 4; ++row)
                stream.words[row] = snapshot.word[row][finish.lane];
            stream.lane = -1;
            break;
        }
        }
    }
    finishCount = 0;
    for (const std::uint64_t tag : releasing)
        released.push(tag);
    releasing.clear();
}

// The narrowest kernel that holds every busy lane.
const BlockKernel& Md5Lanes::Impl::pickKernel() const
{
    const BlockKernel* chosen = ladder.kernels[0];
    for (unsigned i = 1; i < ladder.size && ladder.kernels[i]->lanes >= busyCount; ++i)
        chosen = ladder.kernels[i];
    return *chosen;
}

void Md5Lanes::Impl::moveLane(unsigned from, unsigned to)
{
    for (int row = 0; row < 4; ++row)
        state.word[row][to] = state.word[row][from];
    lanes[to] = lanes[from];
    if (lanes[to].stream != kNoStream)
        streams[lanes[to].stream].lane = static_cast<int>(to);
    lanes[from].busy = false;
}

// Moves busy lanes at or above laneCount into idle lanes below it.
void Md5Lanes::Impl::packInto(unsigned laneCount)
{
    unsigned hole = 0;
    for (unsigned lane = laneCount; lane < width; ++lane) {
        if (!lanes[lane].busy)
            continue;
        while (lanes[hole].busy)
            ++hole;
        moveLane(lane, hole);
    }
}

void Md5Lanes::Impl::run(bool withIdleLanes)
{
    if (evp) {
        runOpenSsl();
        return;
    }
    for (;;) {
        if (busyCount < width && (!readyStreams.empty() || !messages.empty()))
            refill();
        if (busyCount == 0 || (!withIdleLanes && busyCount < width))
            return;
        const BlockKernel& kernel = pickKernel();
        if (kernel.lanes < width)
            packInto(kernel.lanes);

        unsigned planned[kMaxLanes];
        unsigned longest = 0;
        unsigned longestLane = 0;
        for (unsigned lane = 0; lane < kernel.lanes; ++lane) {
            planned[lane] = planLane(lane);
            if (planned[lane] > longest) {
                longest = planned[lane];
                longestLane = lane;
            }
        }
        // Lanes with nothing left read the longest lane's bytes, which are valid throughout.
        for (unsigned lane = 0; lane < kernel.lanes; ++lane) {
            for (unsigned block = planned[lane]; block < longest; ++block)
                plan.rows[block][lane] = plan.rows[block][longestLane];
        }
        if (longest > 0)
            kernel.run(state, plan, longest);
        completeFinishes();
        busyCount = 0;
        for (unsigned lane = 0; lane < kernel.lanes; ++lane)
            busyCount += lanes[lane].busy ? 1 : 0;
    }
}

void Md5Lanes::Impl::runOpenSsl()
{
    while (!messages.empty()) {
        const Message& message = messages.front();
        evp->begin();
        evp->update(message.data, message.size);
        emit(message.tag, evp->finish(), false);
        messages.pop();
    }
    while (!readyStreams.empty()) {
        const StreamId id = readyStreams.front();
        readyStreams.pop();
        Stream& stream = streams[id];
        stream.queued = false;
        while (!stream.chunks.empty()) {
            const Chunk& chunk = stream.chunks.front();
            stream.evp->update(chunk.data, chunk.size);
            released.push(chunk.tag);
            stream.chunks.pop();
        }
        if (stream.finished) {
            emit(stream.tag, stream.evp->finish(), true);
            freeStreams.push(id);
        }
    }
}

Md5Lanes::Md5Lanes(const Options& options) : impl_(std::make_unique<Impl>(options)) {}
Md5Lanes::Md5Lanes() : Md5Lanes(Options{}) {}
Md5Lanes::~Md5Lanes() = default;
Md5Lanes::Md5Lanes(Md5Lanes&&) noexcept = default;
Md5Lanes& Md5Lanes::operator=(Md5Lanes&&) noexcept = default;

unsigned Md5Lanes::lanes() const
{
    return impl_->width;
}

bool Md5Lanes::canSubmit() const
{
    return impl_->messagesOutstanding < impl_->options.messages;
}

bool Md5Lanes::submit(const void* data, std::size_t size, std::uint64_t tag)
{
    if (!canSubmit())
        return false;
    impl_->messages.push({static_cast<const unsigned char*>(data), size, tag});
    ++impl_->messagesOutstanding;
    return true;
}

Md5Lanes::StreamId Md5Lanes::openStream(std::uint64_t tag)
{
    Impl& impl = *impl_;
    if (impl.streamsOutstanding >= impl.options.streams)
        return kNoStream;
    const StreamId id = impl.freeStreams.front();
    impl.freeStreams.pop();
    Impl::Stream& stream = impl.streams[id];
    stream.finished = false;
    stream.tag = tag;
    stream.length = 0;
    stream.offset = 0;
    stream.carrySize = 0;
    std::copy(std::begin(md5::kInitialState), std::end(md5::kInitialState), stream.words);
    if (stream.evp)
        stream.evp->begin();
    ++impl.streamsOutstanding;
    return id;
}

bool Md5Lanes::canFeed(StreamId id) const
{
    const Impl& impl = *impl_;
    return !impl.streams[id].chunks.full() && impl.chunksOutstanding < impl.released.capacity();
}

bool Md5Lanes::feed(StreamId id, const void* data, std::size_t size, std::uint64_t chunkTag)
{
    if (!canFeed(id))
        return false;
    impl_->streams[id].chunks.push({static_cast<const unsigned char*>(data), size, chunkTag});
    ++impl_->chunksOutstanding;
    impl_->makeReady(id);
    return true;
}

void Md5Lanes::finish(StreamId id)
{
    impl_->streams[id].finished = true;
    impl_->makeReady(id);
}

void Md5Lanes::hash()
{
    impl_->run(false);
}

void Md5Lanes::flush()
{
    impl_->run(true);
}

bool Md5Lanes::idle() const
{
    return impl_->busyCount == 0 && impl_->messages.empty() && impl_->readyStreams.empty();
}

std::size_t Md5Lanes::takeDigests(std::span<Md5Result> out)
{
    Impl& impl = *impl_;
    std::size_t count = 0;
    while (count < out.size() && !impl.outputs.empty()) {
        const Impl::Output& output = impl.outputs.front();
        out[count++] = output.result;
        --(output.fromStream ? impl.streamsOutstanding : impl.messagesOutstanding);
        impl.outputs.pop();
    }
    return count;
}

std::size_t Md5Lanes::takeReleased(std::span<std::uint64_t> out)
{
    Impl& impl = *impl_;
    std::size_t count = 0;
    while (count < out.size() && !impl.released.empty()) {
        out[count++] = impl.released.front();
        impl.released.pop();
    }
    impl.chunksOutstanding -= count;
    return count;
}

std::vector<unsigned> Md5Lanes::laneCounts(Md5KernelSet set)
{
    std::vector<unsigned> counts;
    const Ladder ladder = fullLadder(set == Md5KernelSet::Automatic ? bestKernelSet() : set);
    for (unsigned i = 0; i < ladder.size; ++i)
        counts.push_back(ladder.kernels[i]->lanes);
    return counts;
}

Md5Value Md5Lanes::md5(std::string_view data, Md5KernelSet kernels)
{
    Options options;
    options.kernels = kernels;
    options.messages = 1;
    options.streams = 0;
    Md5Lanes lanes(options);
    lanes.submit(data.data(), data.size(), 0);
    lanes.flush();
    Md5Result result{};
    lanes.takeDigests({&result, 1});
    return result.value;
}

Md5Hex Md5Lanes::md5Hex(std::string_view data, Md5KernelSet kernels)
{
    return toHex(md5(data, kernels));
}

} // namespace listgen
