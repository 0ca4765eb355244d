#include "listgen/digest/md5_lanes.h"

#include "listgen/digest/fixed_ring.h"
#include "listgen/digest/md5_kernel.h"
#include "listgen/digest/md5_rate_probe.h"

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
constexpr std::size_t kPrefetchAhead = 8;

// The kernels of the options and their rates: measured ones, those given, or for a named set
// rates that make each narrower kernel faster per lane, so that the narrowest kernel that holds
// every busy lane runs, as the set's ladder lists them.
Md5KernelRates ratesFor(const Md5Lanes::Options& options, const std::vector<md5::NamedKernel>& kernels)
{
    const Md5KernelRates* given =
        options.rates != nullptr ? options.rates : options.kernels == Md5KernelSet::Automatic ? &md5Rates() : nullptr;
    std::vector<Md5KernelRates::Kernel> rates;
    for (const md5::NamedKernel& kernel : kernels) {
        if (kernel.kernel->lanes > options.widestLanes || kernel.kernel->lanes < options.narrowestLanes)
            continue;
        const double rate = given != nullptr ? given->laneRate(kernel.name) : 1.0 / kernel.kernel->lanes;
        if (rate > 0)
            rates.push_back({kernel.name, kernel.kernel->lanes, rate});
    }
    if (rates.empty())
        throw std::invalid_argument("no " + std::string(kernelSetName(options.kernels)) + " MD5 kernel has between " +
                                    std::to_string(options.narrowestLanes) + " and " +
                                    std::to_string(options.widestLanes) + " lanes");
    return Md5KernelRates(std::move(rates));
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
    };

    struct Lane {
        bool busy = false;
        // The second block of a two-block tail did not fit in the last call.
        bool tailPending = false;
        // The call in which the job came into the lane: streams that take turns leave in that order.
        std::uint64_t since = 0;
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
    Md5KernelRates rates;
    // The kernels of rates.ladder(), in its order.
    std::vector<const BlockKernel*> ladder;
    unsigned width = 1;
    std::uint64_t calls = 0;

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

    Impl(const Options& chosen, const std::vector<md5::NamedKernel>& kernels);

    void run(bool withIdleLanes);
    void refill();
    const BlockKernel& pickKernel();
    void takeTurns(unsigned laneCount);
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
    void parkStream(unsigned lane);
    void completeFinishes();
    void makeReady(StreamId id);
    void emit(std::uint64_t tag, const Md5Value& value, bool fromStream);
};

Md5Lanes::Impl::Impl(const Options& chosen, const std::vector<md5::NamedKernel>& kernels)
    : options(chosen)
    , rates(ratesFor(chosen, kernels))
    , messages(chosen.messages)
    , streams(chosen.streams)
    , freeStreams(chosen.streams)
    , readyStreams(chosen.streams)
    , outputs(chosen.messages + chosen.streams)
    , released(chosen.streams * chosen.chunksPerStream)
{
    if (chosen.messages == 0 && chosen.streams == 0)
        throw std::invalid_argument("an Md5Lanes needs room for messages or streams");
    if (chosen.streams > 0 && chosen.chunksPerStream == 0)
        throw std::invalid_argument("streams need room for at least one chunk");
    for (const Md5KernelRates::Kernel& rate : rates.ladder()) {
        for (const md5::NamedKernel& kernel : kernels) {
            if (kernel.name == rate.name)
                ladder.push_back(kernel.kernel);
        }
    }
    width = rates.widest();
    releasing.reserve(released.capacity());

    for (StreamId id = 0; id < streams.size(); ++id) {
        streams[id].chunks = FixedRing<Chunk>(chosen.chunksPerStream);
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
    slot.since = calls;
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
    slot.since = calls;
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

// Between calls: the stream leaves its lane and, with bytes or its end still to hash, queues
// for the next free one.
void Md5Lanes::Impl::parkStream(unsigned lane)
{
    const StreamId id = lanes[lane].stream;
    parkNow(lane);
    --busyCount;
    if (!streams[id].chunks.empty() || streams[id].finished)
        makeReady(id);
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

// The kernel with the best rate for the streams and messages at hand; streams may take turns in
// a narrower one, messages and tails still to finish may not.
const BlockKernel& Md5Lanes::Impl::pickKernel()
{
    unsigned fixed = 0;
    for (unsigned lane = 0; lane < width; ++lane)
        fixed += lanes[lane].busy && (lanes[lane].stream == kNoStream || lanes[lane].tailPending) ? 1 : 0;
    const auto jobs = static_cast<unsigned>(std::min<std::size_t>(busyCount + readyStreams.size(), width));
    return *ladder[rates.bestFor(jobs, fixed)];
}

// Parks the streams that have been in their lanes longest until the busy lanes fit.
void Md5Lanes::Impl::takeTurns(unsigned laneCount)
{
    while (busyCount > laneCount) {
        unsigned oldest = width;
        for (unsigned lane = 0; lane < width; ++lane) {
            const Lane& slot = lanes[lane];
            if (slot.busy && slot.stream != kNoStream && !slot.tailPending &&
                (oldest == width || slot.since < lanes[oldest].since))
                oldest = lane;
        }
        parkStream(oldest);
    }
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
    for (;; ++calls) {
        if (busyCount < width && (!readyStreams.empty() || !messages.empty()))
            refill();
        if (busyCount == 0 || (!withIdleLanes && busyCount < width))
            return;
        const BlockKernel& kernel = pickKernel();
        takeTurns(kernel.lanes);
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

Md5Lanes::Md5Lanes(const Options& options)
{
    if (!cpuRuns(options.kernels))
        throw std::invalid_argument("this CPU cannot run the " + std::string(kernelSetName(options.kernels)) +
                                    " MD5 kernels");
    impl_ = std::make_unique<Impl>(options, md5::kernelsOf(options.kernels));
}
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

Md5Lanes::StreamId Md5Lanes::openStream(std::uint64_t tag, const Md5StreamState& from)
{
    Impl& impl = *impl_;
    if (impl.streamsOutstanding >= impl.options.streams)
        return kNoStream;
    const StreamId id = impl.freeStreams.front();
    impl.freeStreams.pop();
    Impl::Stream& stream = impl.streams[id];
    stream.finished = false;
    stream.tag = tag;
    stream.length = from.length;
    stream.offset = 0;
    stream.carrySize = static_cast<std::size_t>(from.length % kBlockSize);
    std::copy(std::begin(from.words), std::end(from.words), stream.words);
    std::memcpy(stream.carry, from.partial, stream.carrySize);
    ++impl.streamsOutstanding;
    return id;
}

Md5StreamState Md5Lanes::exportStream(StreamId id)
{
    Impl& impl = *impl_;
    Impl::Stream& stream = impl.streams[id];
    if (stream.lane >= 0 || stream.queued)
        impl.run(true);
    Md5StreamState state;
    std::copy(std::begin(stream.words), std::end(stream.words), state.words);
    state.length = stream.length;
    std::memcpy(state.partial, stream.carry, stream.carrySize);
    --impl.streamsOutstanding;
    impl.freeStreams.push(id);
    return state;
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
    for (const md5::NamedKernel& kernel : md5::kernelsOf(set))
        counts.push_back(kernel.kernel->lanes);
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
