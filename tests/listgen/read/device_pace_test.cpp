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

// The median of the first waits decides: a mean would let a few slow reads make fast storage
// look like a spinning disk, and a few fast ones hide one.
TEST(DevicePace, ClassifiesByTheMedianOfTheFirstWaits)
{
    const struct {
        std::chrono::nanoseconds few, many;
        DevicePace::Kind kind;
    } cases[] = {{100ms, 100us, DevicePace::Kind::Fast}, {100us, 8ms, DevicePace::Kind::Spinning}};
    for (const auto& [few, many, kind] : cases) {
        DevicePace pace(true, 0);
        recordWaits(pace, 15, few);
        recordWaits(pace, 17, many);
        EXPECT_EQ(pace.kind(), kind);
        EXPECT_EQ(pace.inodeOrder(), kind == DevicePace::Kind::Spinning);
    }
}

// A spinning disk has one arm, however many readers share it; under ThreadSanitizer the
// readers' measuring shows safe.
TEST(DevicePace, ReadersSharingOnePaceShareTheDevicesDepth)
{
    DevicePace pace(false, 0, 4);
    std::vector<std::thread> readers;
    for (int reader = 0; reader < 4; ++reader) {
        readers.emplace_back([&pace] {
            for (int i = 0; i < 50; ++i) {
                pace.recordWait(8ms);
                pace.recordHit();
                pace.recordBatch(100, 1ms);
            }
        });
    }
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(pace.kind(), DevicePace::Kind::Spinning);
    const unsigned depth = pace.reserve(1000);
    EXPECT_EQ(pace.reserve(1000), 0U) << "a second reader got depth beyond the disk's " << depth;
}
