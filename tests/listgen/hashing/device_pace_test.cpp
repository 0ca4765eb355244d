#include "listgen/hashing/device_pace.h"

#include <gtest/gtest.h>

using listgen::DevicePace;
using namespace std::chrono_literals;

TEST(DevicePace, ClassifiesTheDeviceByHowLongReadsWaited)
{
    DevicePace spinning(false, 0);
    EXPECT_EQ(spinning.depth(), 32U);
    for (int i = 0; i < 32; ++i)
        spinning.recordWait(i % 4 == 0 ? 300us : 8ms);
    EXPECT_EQ(spinning.kind(), DevicePace::Kind::Spinning);
    EXPECT_TRUE(spinning.inodeOrder());
    EXPECT_EQ(spinning.depth(), 4U);

    DevicePace fast(true, 0);
    EXPECT_EQ(fast.depth(), 4U) << "a disk that says it spins starts careful";
    for (int i = 0; i < 32; ++i)
        fast.recordWait(120us);
    EXPECT_EQ(fast.kind(), DevicePace::Kind::Fast);
    EXPECT_EQ(fast.depth(), 32U);
    // Files per second keep rising, so the depth doubles; once they stop, it stays.
    fast.recordBatch(100, 10ms);
    fast.recordBatch(200, 10ms);
    EXPECT_EQ(fast.depth(), 128U);
    fast.recordBatch(200, 10ms);
    EXPECT_EQ(fast.depth(), 128U);
}

TEST(DevicePace, ReadsFromThePageCacheLiftACarefulStartAndAFixedDepthStays)
{
    DevicePace cached(true, 0);
    for (int i = 0; i < 32; ++i)
        cached.recordHit();
    EXPECT_EQ(cached.depth(), 32U);
    EXPECT_EQ(cached.kind(), DevicePace::Kind::Unknown);

    DevicePace fixed(true, 3);
    for (int i = 0; i < 32; ++i) {
        fixed.recordHit();
        fixed.recordWait(10ms);
    }
    EXPECT_EQ(fixed.depth(), 3U);
    EXPECT_FALSE(fixed.inodeOrder());
}
