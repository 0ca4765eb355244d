#include "listgen/hash_pipeline.h"

#include "listgen/file_hasher.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace listgen {

namespace {

constexpr std::size_t kSlotsPerJob = 4;

struct Slot {
    enum class State { Free, Queued, Hashing, Done };
    State state = State::Free;
    WalkItem item;
    HashResult result;
};

// Every thread takes whatever stage has work: writing the next row, hashing a queued file,
// or walking on. Walking and writing are each done by one thread at a time, so the walk
// stays in order and rows leave strictly in report order. Item n always lives in slot
// n % slots, free again once item n - slots is written, so nothing is allocated per file.
class HashPipeline {
public:
    HashPipeline(ListFolder& walk, WalkConsumer& sink, const FileIdentities& excluded, unsigned jobs,
                 const std::atomic<bool>& cancel)
        : walk_(walk)
        , sink_(sink)
        , excluded_(excluded)
        , jobs_(jobs)
        , cancel_(cancel)
        , slots_(std::size_t{jobs} * kSlotsPerJob)
    {
    }

    void run()
    {
        std::vector<std::thread> helpers;
        for (unsigned i = 1; i < jobs_; ++i)
            helpers.emplace_back([this] { work(); });
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
        FileHasher hasher;
        Lock lock(mutex_);
        while (!finished()) {
            try {
                if (!(writeNext(lock) || hashNext(lock, hasher) || walkNext(lock))) {
                    ++waiting_;
                    changed_.wait(lock);
                    --waiting_;
                }
            } catch (...) {
                if (!failure_)
                    failure_ = std::current_exception();
                walkEnded_ = true;
                changed_.notify_all();
            }
        }
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
            unlocked(lock, [&] { sink_.accept(slot.item, slot.result); });
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

    bool hashNext(Lock& lock, FileHasher& hasher)
    {
        if (claimed_ == produced_)
            return false;
        Slot& slot = slotFor(claimed_++);
        slot.state = Slot::State::Hashing;
        if (slot.item.kind == WalkItem::Kind::File)
            unlocked(lock, [&] { slot.result = hasher.hash(slot.item.path, excluded_, cancel_); });
        slot.state = Slot::State::Done;
        announce();
        return true;
    }

    bool walkNext(Lock& lock)
    {
        if (walking_ || walkEnded_ || produced_ - written_ >= slots_.size())
            return false;
        walking_ = true;
        Slot& slot = slotFor(produced_);
        bool more = false;
        try {
            unlocked(lock, [&] { more = !cancel_.load(std::memory_order_relaxed) && walk_.next(slot.item); });
        } catch (...) {
            walking_ = false;
            throw;
        }
        walking_ = false;
        if (more) {
            slot.state = Slot::State::Queued;
            ++produced_;
        } else {
            walkEnded_ = true;
        }
        announce();
        return true;
    }

    ListFolder& walk_;
    WalkConsumer& sink_;
    const FileIdentities& excluded_;
    const unsigned jobs_;
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

void hashInReportOrder(ListFolder& walk, const FileIdentities& excluded, unsigned jobs,
                       const std::atomic<bool>& cancel, WalkConsumer& sink)
{
    HashPipeline(walk, sink, excluded, std::max(1U, jobs), cancel).run();
}

} // namespace listgen
