#include "listgen/hashing/ordered_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace listgen {

namespace {

constexpr std::size_t kSlotsPerJob = 4;

struct Slot {
    enum class State { Free, Queued, Hashing, Done };
    State state = State::Free;
    Entry entry;
};

// Every thread takes whatever stage has work: writing the next row, hashing a queued file,
// or walking on. Walking and writing are each done by one thread at a time, so the walk
// stays in order and rows leave strictly in report order. Item n always lives in slot
// n % slots, free again once item n - slots is written, so nothing is allocated per file.
class HashPipeline {
public:
    HashPipeline(EntrySource& source, const HasherFactory& makeHasher, EntrySink& sink, unsigned jobs,
                 const std::atomic<bool>& cancel)
        : source_(source)
        , makeHasher_(makeHasher)
        , sink_(sink)
        , jobs_(jobs)
        , cancel_(cancel)
        , slots_(std::size_t{jobs} * kSlotsPerJob)
    {
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
            unlocked(lock, [&] { sink_.accept(slot.entry); });
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
        if (slot.entry.kind == Entry::Kind::File)
            unlocked(lock, [&] { hasher.hash(slot.entry); });
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
            unlocked(lock, [&] { more = !cancel_.load(std::memory_order_relaxed) && source_.next(slot.entry); });
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

    EntrySource& source_;
    const HasherFactory& makeHasher_;
    EntrySink& sink_;
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

void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, unsigned jobs,
                       const std::atomic<bool>& cancel, EntrySink& sink)
{
    HashPipeline(source, makeHasher, sink, std::max(1U, jobs), cancel).run();
}

} // namespace listgen
