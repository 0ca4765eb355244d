#include "listgen/read/ordered_pipeline.h"

#include "child_process.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using listgen::Entry;
using listgen::EntryHasher;
using listgen::hashInReportOrder;

namespace {

const std::atomic<bool> kGoOn{false};

// Numbered entries; every tenth is a folder that could not be listed, which is never hashed.
class CountingSource : public listgen::EntrySource {
public:
    explicit CountingSource(int count, std::atomic<bool>* cancelAfter = nullptr, int cancelAt = -1)
        : count_(count), cancel_(cancelAfter), cancelAt_(cancelAt) {}

    bool next(Entry& entry) override
    {
        if (given == count_)
            return false;
        if (given == cancelAt_)
            cancel_->store(true);
        entry = Entry{};
        entry.kind = given % 10 == 9 ? Entry::Kind::UnlistableFolder : Entry::Kind::File;
        entry.path = std::to_string(given++);
        return true;
    }

    std::atomic<int> given{0};

private:
    int count_;
    std::atomic<bool>* cancel_;
    int cancelAt_;
};

// Takes longer for some entries than for others, so that they finish out of order.
class SlowHasher : public listgen::FileByFileHasher {
public:
    explicit SlowHasher(int failAt = -1) : failAt_(failAt) {}

    using FileByFileHasher::hash;
    void hash(Entry& entry) override
    {
        const int number = std::stoi(entry.path);
        if (number == failAt_)
            throw std::runtime_error("hasher failed at " + entry.path);
        std::this_thread::sleep_for(std::chrono::microseconds((number * 7919) % 5 == 0 ? 300 : 0));
        entry.kind = Entry::Kind::Hashed;
    }

private:
    int failAt_;
};

class RecordingSink : public listgen::EntrySink {
public:
    explicit RecordingSink(const CountingSource& source) : source_(source) {}

    void accept(const Entry& entry) override
    {
        paths.push_back(entry.path);
        kinds.push_back(entry.kind);
        mostInFlight = std::max(mostInFlight, source_.given.load() - static_cast<int>(paths.size()));
    }

    std::vector<std::string> paths;
    std::vector<Entry::Kind> kinds;
    int mostInFlight = 0;

private:
    const CountingSource& source_;
};

listgen::HasherFactory slowHashers(int failAt = -1)
{
    return [failAt] { return std::make_unique<SlowHasher>(failAt); };
}

} // namespace

TEST(OrderedPipeline, EntriesLeaveInTheSourceOrderWithFewInFlight)
{
    for (const listgen::PipelineShape shape :
         {listgen::PipelineShape{1, 1, 4}, listgen::PipelineShape{2, 1, 16}, listgen::PipelineShape{3, 7, 50},
          listgen::PipelineShape{8, 64, 256}}) {
        const unsigned jobs = shape.threads;
        CountingSource source(1000);
        RecordingSink sink(source);
        hashInReportOrder(source, slowHashers(), shape, kGoOn, sink);
        ASSERT_EQ(sink.paths.size(), 1000U) << jobs << " jobs";
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(sink.paths[static_cast<std::size_t>(i)], std::to_string(i)) << jobs << " jobs";
            EXPECT_EQ(sink.kinds[static_cast<std::size_t>(i)],
                      i % 10 == 9 ? Entry::Kind::UnlistableFolder : Entry::Kind::Hashed);
        }
        EXPECT_LE(sink.mostInFlight, static_cast<int>(std::max(shape.window, 2 * shape.batchSize))) << jobs << " jobs";
    }
}

TEST(OrderedPipeline, AFailingStageEndsTheRunWithItsError)
{
    for (const unsigned jobs : {1U, 4U}) {
        CountingSource source(1000);
        RecordingSink sink(source);
        try {
            hashInReportOrder(source, slowHashers(500), {jobs, 16, 64}, kGoOn, sink);
            ADD_FAILURE() << "no error with " << jobs << " jobs";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "hasher failed at 500");
        }
        EXPECT_LE(sink.paths.size(), 500U) << "the batch that failed reached the sink";
    }
    CountingSource source(10);
    RecordingSink sink(source);
    const listgen::HasherFactory noHasher = []() -> std::unique_ptr<EntryHasher> {
        throw std::runtime_error("no hasher");
    };
    EXPECT_THROW(hashInReportOrder(source, noHasher, {3, 4, 16}, kGoOn, sink), std::runtime_error);
}

TEST(OrderedPipeline, GoesOnWithTheThreadsItHasWhenNoMoreCanStart)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run as another user under a process limit";
    const auto result = testing_support::runInChild(
        [] {
            CountingSource source(200);
            RecordingSink sink(source);
            hashInReportOrder(source, slowHashers(), {4, 8, 64}, kGoOn, sink);
            return std::to_string(sink.paths.size());
        },
        {.unprivileged = true, .processes = 1});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.output, "200");
}

TEST(OrderedPipeline, CancelStopsTakingEntries)
{
    std::atomic<bool> cancel{false};
    CountingSource source(100000, &cancel, 50);
    RecordingSink sink(source);
    hashInReportOrder(source, slowHashers(), {2, 1, 16}, cancel, sink);
    EXPECT_EQ(source.given.load(), 51);
    EXPECT_EQ(sink.paths.size(), static_cast<std::size_t>(source.given.load()));
}
