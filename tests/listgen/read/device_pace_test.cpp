#include "listgen/read/device_pace.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using listgen::DevicePace;
using namespace std::chrono_literals;

namespace {

void recordWaits(DevicePace& pace, int count, std::chrono::nanoseconds latency)
{
    for (int i = 0; i < count; ++i)
        pace.recordWait(latency);
}

} // namespace

// The median of the first 32 waits decides, at 2 ms (spinning, inclusive) and 0.5 ms (fast,
// exclusive); a mean would let a few slow reads make fast storage look like a spinning disk.
TEST(DevicePace, ClassifiesByTheMedianOfTheFirstWaits)
{
    const struct {
        int fewer;
        std::chrono::nanoseconds fast;
        std::chrono::nanoseconds slow;
        DevicePace::Kind kind;
    } cases[] = {
        {15, 100us, 100ms, DevicePace::Kind::Fast},  // 17 fast of 32: a mean would say spinning
        {15, 2ms, 100us, DevicePace::Kind::Spinning}, // 17 at 2 ms: a mean would say between
        {0, 2ms, 2ms, DevicePace::Kind::Spinning},
        {0, 1999us, 1999us, DevicePace::Kind::Between},
        {0, 500us, 500us, DevicePace::Kind::Between},
        {0, 499us, 499us, DevicePace::Kind::Fast},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(testing::Message() << each.fast.count() << " ns and " << each.slow.count() << " ns");
        DevicePace pace(true, 0);
        recordWaits(pace, each.fewer, each.slow);
        recordWaits(pace, 31 - each.fewer, each.fast);
        EXPECT_EQ(pace.kind(), DevicePace::Kind::Unknown) << "decided before 32 waits";
        EXPECT_EQ(pace.depth(), 4U);
        pace.recordWait(each.fast);
        EXPECT_EQ(pace.kind(), each.kind);
        EXPECT_EQ(pace.depth(), each.kind == DevicePace::Kind::Spinning ? 4U : 32U);
        EXPECT_EQ(pace.inodeOrder(), each.kind == DevicePace::Kind::Spinning);
        recordWaits(pace, 64, each.kind == DevicePace::Kind::Spinning ? 10us : 50ms);
        EXPECT_EQ(pace.kind(), each.kind) << "a decided pace changed its mind";
    }
}

TEST(DevicePace, FastStorageDoublesWhileTheRateRisesByATenthAndStopsAt256)
{
    DevicePace fast(false, 0);
    recordWaits(fast, 32, 120us);
    ASSERT_EQ(fast.depth(), 32U);
    fast.recordBatch(100, 10ms);
    EXPECT_EQ(fast.depth(), 64U);
    fast.recordBatch(105, 10ms);
    EXPECT_EQ(fast.depth(), 64U) << "grew on a rise of 5 %";
    fast.recordBatch(100, 0ms);
    EXPECT_EQ(fast.depth(), 64U) << "grew on a batch that took no time";
    fast.recordBatch(90, 10ms);
    EXPECT_EQ(fast.depth(), 64U) << "grew on a fall";
    fast.recordBatch(120, 10ms);
    EXPECT_EQ(fast.depth(), 128U);
    for (std::size_t files = 200; files < 10'000; files *= 2)
        fast.recordBatch(files, 10ms);
    EXPECT_EQ(fast.depth(), DevicePace::kDeepest);

    // Neither a spinning disk nor storage between the two grows, however the rate rises.
    for (const auto latency : {8ms, 1ms}) {
        DevicePace other(false, 0);
        recordWaits(other, 32, latency);
        const unsigned depth = other.depth();
        for (std::size_t files = 10; files < 10'000; files *= 2)
            other.recordBatch(files, 10ms);
        EXPECT_EQ(other.depth(), depth) << latency.count() << " ms";
    }
}

TEST(DevicePace, PageCacheHitsLiftACarefulStartOnlyWhileFewReadsWaited)
{
    DevicePace cached(true, 0);
    recordWaits(cached, 7, 8ms);
    for (int i = 0; i < 31; ++i)
        cached.recordHit();
    EXPECT_EQ(cached.depth(), 4U) << "lifted before 32 hits";
    cached.recordHit();
    EXPECT_EQ(cached.depth(), 32U);
    EXPECT_EQ(cached.kind(), DevicePace::Kind::Unknown);
    recordWaits(cached, 25, 8ms);
    EXPECT_EQ(cached.depth(), 4U) << "a disk that turned out to spin kept the cached depth";

    DevicePace waited(true, 0);
    recordWaits(waited, 8, 8ms);
    for (int i = 0; i < 64; ++i)
        waited.recordHit();
    EXPECT_EQ(waited.depth(), 4U) << "a quarter of the samples had waited for the disk";

    DevicePace fixed(true, 3);
    for (int i = 0; i < 32; ++i) {
        fixed.recordHit();
        fixed.recordWait(10ms);
        fixed.recordBatch(static_cast<std::size_t>(i + 1) * 100, 1ms);
    }
    EXPECT_EQ(fixed.depth(), 3U);
    EXPECT_FALSE(fixed.inodeOrder());
}

// A spinning disk has one arm, however many readers share it; a read's time counts only when
// the reader saw it complete, so that hashing meanwhile is not taken for the device.
TEST(DevicePace, DepthIsTheDevicesAndCountsOnlyReadsTimedClosely)
{
    DevicePace disk(true, 0, 64);
    EXPECT_EQ(disk.reserve(1000), 4U);
    EXPECT_EQ(disk.reserve(1), 0U);
    disk.giveBack(4);
    DevicePace cached(true, 0, 2);
    for (int i = 0; i < 32; ++i)
        cached.recordRead(0ms, 30ms);
    EXPECT_EQ(cached.kind(), DevicePace::Kind::Unknown) << "reads that may have waited for the hashing";
    for (int i = 0; i < 32; ++i)
        cached.recordRead(0us, 30us);
    EXPECT_EQ(cached.depth(), 64U) << "two readers fed from the page cache";
    for (int i = 0; i < 32; ++i)
        cached.recordRead(7990us, 8ms);
    EXPECT_EQ(cached.kind(), DevicePace::Kind::Spinning);
}

// The readers of one run share a pace; run under ThreadSanitizer this shows the measuring safe.
TEST(DevicePace, ReadersSharingOnePaceReachOneDecision)
{
    DevicePace pace(false, 0);
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 4; ++reader) {
        readers.emplace_back([&pace] {
            for (int i = 0; i < 50; ++i) {
                pace.recordWait(8ms);
                pace.recordHit();
                pace.recordBatch(100, 1ms);
                (void)pace.depth();
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(pace.kind(), DevicePace::Kind::Spinning);
    EXPECT_EQ(pace.depth(), 4U);
}
