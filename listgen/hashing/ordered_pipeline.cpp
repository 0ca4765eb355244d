#include "listgen/hashing/ordered_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

namespace listgen {

namespace {

constexpr std::size_t kSlotsPerThread = 3;

struct Slot {
    enum class State { Free, Queued, Hashing, Done };
    State state = State::Free;
    std::vector<Entry> entries;
    std::size_t count = 0;
};

// Every thread takes whatever stage has work: writing the next batch, hashing a queued one,
// or walking on. Walking and writing are each done by one thread at a time, so the walk
// stays in order and rows leave strictly in report order. Batch n always lives in slot
// n % slots, free again once batch n - slots is written, so its entries keep their storage.
class HashPipeline {
public:
    HashPipeline(EntrySource& source, const HasherFactory& makeHasher, EntrySink& sink, unsigned threads,
                 std::size_t batchSize, std::size_t firstBatch, const std::atomic<bool>& cancel)
        : source_(source)
        , makeHasher_(makeHasher)
        , sink_(sink)
        , jobs_(threads)
        , batchSize_(batchSize)
        , nextBatchSize_(std::min(batchSize, firstBatch))
        , cancel_(cancel)
        , slots_(std::size_t{threads} * kSlotsPerThread)
    {
        for (Slot& slot : slots_)
            slot.entries.resize(batchSize_);
    }

    void run()
    {
        std::vector<std::thread> helpers;
        for (unsigned i = 1; i < jobs_; ++i) {
            try {
                helpers.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                // A process or pids limit: the threads already running do the work.
                break;
            }
        }
        work();
        for (std::thread& helper : helpers)
            helper.join();
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    using Lock = std::unique_lock<std::mutex>;

    Slot& slotFor(std::uint64_t sequence) { return slots_[sequence % slots_.size()]; }

    // Runs a stage's work with the lock released, and holds it again however the work ends.
    template <typename Work>
    static void unlocked(Lock& lock, Work&& work)
    {
        lock.unlock();
        struct Relock {
            Lock& lock;
            ~Relock() { lock.lock(); }
        } relock{lock};
        work();
    }

    void work()
    {
        std::unique_ptr<EntryHasher> hasher;
        try {
            hasher = makeHasher_();
        } catch (...) {
            const Lock lock(mutex_);
            fail();
            return;
        }
        Lock lock(mutex_);
        while (!finished()) {
            try {
                if (!(writeNext(lock) || hashNext(lock, *hasher) || walkNext(lock))) {
                    ++waiting_;
                    changed_.wait(lock);
                    --waiting_;
                }
            } catch (...) {
                fail();
            }
        }
        changed_.notify_all();
    }

    // Keeps the first failure; with the lock held.
    void fail()
    {
        if (!failure_)
            failure_ = std::current_exception();
        walkEnded_ = true;
        changed_.notify_all();
    }

    bool finished() const { return failure_ || (walkEnded_ && !walking_ && written_ == produced_); }

    void announce()
    {
        if (waiting_ > 0)
            changed_.notify_one();
    }

    bool writeNext(Lock& lock)
    {
        Slot& slot = slotFor(written_);
        if (writing_ || written_ == produced_ || slot.state != Slot::State::Done)
            return false;
        writing_ = true;
        try {
            unlocked(lock, [&] {
                for (std::size_t i = 0; i < slot.count; ++i) {
                    sink_.accept(slot.entries[i]);
                    // Its folder's descriptor may be the last one open.
                    slot.entries[i].folder.reset();
                }
            });
        } catch (...) {
            writing_ = false;
            throw;
        }
        writing_ = false;
        slot.state = Slot::State::Free;
        ++written_;
        announce();
        return true;
    }

    bool hashNext(Lock& lock, EntryHasher& hasher)
    {
        if (claimed_ == produced_)
            return false;
        Slot& slot = slotFor(claimed_++);
        slot.state = Slot::State::Hashing;
        unlocked(lock, [&] { hasher.hash(std::span<Entry>(slot.entries.data(), slot.count)); });
        slot.state = Slot::State::Done;
        announce();
        return true;
    }

    bool walkNext(Lock& lock)
    {
        if (walking_ || walkEnded_ || produced_ - written_ >= slots_.size())
            return false;
        // The entries in flight hold what the source waits for; they are written first.
        const bool inFlight = produced_ > written_;
        if (inFlight && source_.mustWait())
            return false;
        walking_ = true;
        Slot& slot = slotFor(produced_);
        bool ended = false;
        slot.count = 0;
        const std::size_t limit = nextBatchSize_;
        nextBatchSize_ = std::min(batchSize_, nextBatchSize_ * 2);
        try {
            unlocked(lock, [&] {
                while (slot.count < limit && !(slot.count > 0 && source_.mustWait())) {
                    if (cancel_.load(std::memory_order_relaxed) || !source_.next(slot.entries[slot.count])) {
                        ended = !source_.mustWait() || cancel_.load(std::memory_order_relaxed);
                        break;
                    }
                    ++slot.count;
                }
            });
        } catch (...) {
            walking_ = false;
            throw;
        }
        walking_ = false;
        if (slot.count > 0) {
            slot.state = Slot::State::Queued;
            ++produced_;
        }
        walkEnded_ = ended;
        announce();
        return true;
    }

    EntrySource& source_;
    const HasherFactory& makeHasher_;
    EntrySink& sink_;
    const unsigned jobs_;
    const std::size_t batchSize_;
    std::size_t nextBatchSize_;
    const std::atomic<bool>& cancel_;
    std::vector<Slot> slots_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t produced_ = 0;
    std::uint64_t claimed_ = 0;
    std::uint64_t written_ = 0;
    unsigned waiting_ = 0;
    bool walking_ = false;
    bool writing_ = false;
    bool walkEnded_ = false;
    std::exception_ptr failure_;
};

} // namespace

void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, const PipelineShape& shape,
                       const std::atomic<bool>& cancel, EntrySink& sink)
{
    const std::size_t batchSize = std::max<std::size_t>(1, shape.batchSize);
    const std::size_t firstBatch = shape.firstBatch > 0 ? shape.firstBatch : batchSize;
    HashPipeline(source, makeHasher, sink, std::max(1U, shape.threads), batchSize, firstBatch, cancel).run();
}

} // namespace listgen
