#include "listgen/read/ordered_pipeline.h"

#include "listgen/read/placement.h"
#include "listgen/read/work_queue.h"

#include <pthread.h>

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace listgen {

namespace {

constexpr auto kPatience = std::chrono::milliseconds(50);

// The walk and the writing run on the calling thread; the readers on threads of their own.
// Batch n lives in slot n % slots, free again once batch n - slots is written, so its entries
// keep their storage.
class HashPipeline {
public:
    HashPipeline(EntrySource& source, const HasherFactory& makeHasher, EntrySink& sink, const PipelineShape& shape,
                 const std::atomic<bool>& cancel)
        : source_(source)
        , makeHasher_(makeHasher)
        , sink_(sink)
        , shape_(shape)
        , cancel_(cancel)
        , slots_(std::max<std::size_t>(2, shape.window / shape.batchSize))
        , counts_(slots_.size())
    {
        for (std::vector<Entry>& slot : slots_)
            slot.resize(shape_.batchSize);
    }

    void run()
    {
        WorkQueue queue(shape_.threads, shape_.placement);
        std::vector<std::thread> readers;
        for (unsigned i = 0; i < shape_.threads; ++i) {
            try {
                readers.emplace_back([this, &queue, i] { read(queue, i); });
            } catch (const std::system_error&) {
                // A process or pids limit: the readers already running do the work.
                break;
            }
        }
        if (readers.empty())
            return conductAlone();
        queue.setReaders(static_cast<unsigned>(readers.size()));
        try {
            conduct(queue);
        } catch (...) {
            fail();
        }
        queue.abandon();
        for (std::thread& reader : readers)
            reader.join();
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    void fail()
    {
        const std::lock_guard lock(failureMutex_);
        if (!failure_)
            failure_ = std::current_exception();
    }

    bool failed()
    {
        const std::lock_guard lock(failureMutex_);
        return failure_ != nullptr;
    }

    void read(WorkQueue& queue, unsigned reader)
    {
        // So that `top -H` and the benchmark tell the readers apart.
        ::pthread_setname_np(::pthread_self(), ("reader " + std::to_string(reader)).c_str());
        try {
            const std::unique_ptr<EntryHasher> hasher = makeHasher_();
            hasher->work(queue, reader);
        } catch (...) {
            fail();
            queue.abandon();
        }
    }

    void conduct(WorkQueue& queue)
    {
        std::uint64_t produced = 0;
        std::uint64_t written = 0;
        bool walkEnded = false;
        while (!failed()) {
            while (written < produced && queue.done(written)) {
                std::vector<Entry>& slot = slots_[written % slots_.size()];
                for (std::size_t i = 0; i < counts_[written % slots_.size()]; ++i) {
                    sink_.accept(slot[i]);
                    // Its folder's descriptor may be the last one open.
                    slot[i].folder.reset();
                }
                queue.written(written++);
            }
            if (walkEnded && written == produced)
                return;
            const bool inFlight = produced > written;
            if (!walkEnded && produced - written < slots_.size() && !(inFlight && source_.mustWait())) {
                walkEnded = walk(queue, produced);
                if (walkEnded)
                    queue.closeInput();
                continue;
            }
            queue.waitUntilDone(written, kPatience);
        }
    }

    // Without a thread to spare, batch after batch is walked, read and written here.
    void conductAlone()
    {
        const std::unique_ptr<EntryHasher> hasher = makeHasher_();
        for (std::uint64_t produced = 0;;) {
            WorkQueue queue(1);
            const std::uint64_t batch = produced;
            const bool ended = walk(queue, produced);
            queue.closeInput();
            hasher->work(queue, 0);
            const std::vector<Entry>& slot = slots_[batch % slots_.size()];
            for (std::size_t i = 0; i < counts_[batch % slots_.size()]; ++i)
                sink_.accept(slot[i]);
            if (ended)
                return;
        }
    }

    // Fills the next slot and hands it to the readers; true when the walk has ended.
    bool walk(WorkQueue& queue, std::uint64_t& produced)
    {
        const std::size_t index = produced % slots_.size();
        std::vector<Entry>& slot = slots_[index];
        std::size_t count = 0;
        bool ended = false;
        while (count < slot.size() && !(count > 0 && source_.mustWait())) {
            if (cancel_.load(std::memory_order_relaxed) || !source_.next(slot[count])) {
                ended = !source_.mustWait() || cancel_.load(std::memory_order_relaxed);
                break;
            }
            ++count;
        }
        counts_[index] = count;
        if (count > 0)
            queue.add(produced++, std::span<Entry>(slot.data(), count));
        return ended;
    }

    EntrySource& source_;
    const HasherFactory& makeHasher_;
    EntrySink& sink_;
    const PipelineShape shape_;
    const std::atomic<bool>& cancel_;
    std::vector<std::vector<Entry>> slots_;
    std::vector<std::size_t> counts_;
    std::mutex failureMutex_;
    std::exception_ptr failure_;
};

} // namespace

void EntryHasher::hash(std::span<Entry> entries)
{
    WorkQueue queue(1);
    queue.add(0, entries);
    queue.closeInput();
    work(queue, 0);
}

void FileByFileHasher::work(WorkQueue& queue, unsigned reader)
{
    queue.takesNoStreams(reader);
    Claim claims[Placement::kFileByFileClaim];
    for (;;) {
        const std::size_t count = queue.claim(claims);
        if (count == 0) {
            if (!queue.waitForWork(reader, kPatience))
                return;
            continue;
        }
        for (std::size_t i = 0; i < count; ++i)
            hash(*claims[i].entry);
        queue.finished(std::span<const Claim>(claims, count));
    }
}

void hashInReportOrder(EntrySource& source, const HasherFactory& makeHasher, const PipelineShape& shape,
                       const std::atomic<bool>& cancel, EntrySink& sink)
{
    PipelineShape checked = shape;
    checked.threads = std::max(1U, shape.threads);
    checked.batchSize = std::max<std::size_t>(1, shape.batchSize);
    HashPipeline(source, makeHasher, sink, checked, cancel).run();
}

} // namespace listgen
