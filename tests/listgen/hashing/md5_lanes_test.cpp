#include "listgen/hashing/md5_lanes.h"

#include "md5_lanes_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <span>
#include <string>
#include <vector>

using listgen::Md5Hex;
using listgen::Md5KernelSet;
using listgen::Md5Lanes;
using listgen::Md5Result;
using listgen::Md5Value;

namespace {

using namespace testing_support;

Bytes randomBytes(std::mt19937& random, std::size_t size)
{
    Bytes bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char>(random());
    return bytes;
}

std::string choiceName(const testing::TestParamInfo<KernelChoice>& info)
{
    const std::string set(listgen::kernelSetName(info.param.set));
    return info.param.lanes == 0 ? set : set + "_" + std::to_string(info.param.lanes) + "lanes";
}

class Md5LanesKernel : public testing::TestWithParam<KernelChoice> {
protected:
    void SetUp() override
    {
        if (!listgen::cpuRuns(GetParam().set))
            GTEST_SKIP() << "this CPU has no " << listgen::kernelSetName(GetParam().set);
    }

    Md5Lanes make(std::size_t messages = 64, std::size_t streams = 4, std::size_t chunksPerStream = 3) const
    {
        Md5Lanes::Options options = optionsFor(GetParam());
        options.messages = messages;
        options.streams = streams;
        options.chunksPerStream = chunksPerStream;
        return Md5Lanes(options);
    }

    // hashEvery == 0 queues every message before hashing, so that each call plans in full.
    void expectOpenSslDigests(const char* what, const std::vector<Bytes>& messages, std::size_t hashEvery = 5)
    {
        Md5Lanes lanes = make(hashEvery == 0 ? messages.size() : 64);
        Md5LanesDriver driver(lanes);
        for (std::size_t i = 0; i < messages.size(); ++i) {
            driver.submit(messages[i], i);
            if (hashEvery != 0 && i % hashEvery == 0)
                driver.hash();
        }
        driver.finishAll();
        EXPECT_EQ(driver.problems(), "") << what;
    }
};

// Every length up to 1100; mostly one- and two-block messages queued in full, so that a lane's
// padded tail often straddles two kernel calls, sometimes consecutive ones; and mebibytes next
// to short messages.
TEST_P(Md5LanesKernel, MatchesOpenSslForEveryLengthAndMix)
{
    std::mt19937 random(11);
    std::vector<Bytes> lengths;
    for (std::size_t size = 0; size <= 1100; ++size)
        lengths.push_back(randomBytes(random, size));
    expectOpenSslDigests("every length", lengths);
    std::vector<Bytes> shortOnes;
    for (int i = 0; i < 3000; ++i)
        shortOnes.push_back(randomBytes(random, random() % 140));
    expectOpenSslDigests("short ones queued in full", shortOnes, 0);
    std::vector<Bytes> mixed;
    for (const std::size_t size : {std::size_t{3 << 20} + 17, std::size_t{5 << 20} - 1, std::size_t{1 << 20}}) {
        mixed.push_back(randomBytes(random, size));
        for (int i = 0; i < 40; ++i)
            mixed.push_back(randomBytes(random, random() % 700));
    }
    expectOpenSslDigests("mebibytes among short ones", mixed);
}

TEST_P(Md5LanesKernel, StreamsInChunksOfAnySizeMatchOpenSsl)
{
    std::mt19937 random(13);
    const std::size_t chunkLimits[] = {1, 64, 200, 5000, 70000};
    constexpr std::uint64_t kStreamTags = 1 << 20;
    // Each stream's content in chunks of random sizes, at times with an empty one among them.
    std::vector<std::vector<Bytes>> streams;
    for (const std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 4096, 100000, 777777}) {
        const Bytes content = randomBytes(random, size);
        std::vector<Bytes> chunks;
        for (std::size_t at = 0; at < size;) {
            const std::size_t chunk = std::min<std::size_t>(size - at, 1 + random() % chunkLimits[random() % 5]);
            chunks.emplace_back(content.begin() + at, content.begin() + at + chunk);
            at += chunk;
        }
        if (random() % 2 == 0)
            chunks.insert(chunks.begin() + random() % (chunks.size() + 1), Bytes());
        streams.push_back(std::move(chunks));
    }

    Md5Lanes lanes = make();
    Md5LanesDriver driver(lanes);
    std::uint64_t nextMessage = 0;
    for (std::size_t first = 0; first < streams.size(); first += 4) {
        const std::size_t end = std::min(first + 4, streams.size());
        std::vector<Md5Lanes::StreamId> ids;
        for (std::size_t s = first; s < end; ++s) {
            ids.push_back(driver.open(kStreamTags + s));
            ASSERT_NE(ids.back(), Md5Lanes::kNoStream);
        }
        // Each open stream takes its next chunk in turn, with a whole message after every round.
        for (std::size_t next = 0, fed = 1; fed > 0; ++next) {
            fed = 0;
            for (std::size_t s = first; s < end; ++s) {
                if (next >= streams[s].size())
                    continue;
                driver.feed(ids[s - first], kStreamTags + s, streams[s][next]);
                if (next + 1 == streams[s].size())
                    lanes.finish(ids[s - first]);
                ++fed;
            }
            driver.submit(randomBytes(random, random() % 3000), nextMessage++);
            driver.hash();
        }
    }
    driver.finishAll();
    EXPECT_EQ(driver.problems(), "");
}

TEST_P(Md5LanesKernel, RefusesWorkBeyondItsLimitsUntilResultsAreTaken)
{
    Md5Lanes lanes = make(2, 1, 2);
    const Bytes bytes(100, 'x');
    EXPECT_TRUE(lanes.submit(bytes.data(), 10, 1));
    EXPECT_TRUE(lanes.submit(bytes.data(), 20, 2));
    EXPECT_FALSE(lanes.submit(bytes.data(), 30, 3));
    const auto stream = lanes.openStream(4);
    ASSERT_NE(stream, Md5Lanes::kNoStream);
    EXPECT_EQ(lanes.openStream(5), Md5Lanes::kNoStream);
    EXPECT_TRUE(lanes.feed(stream, bytes.data(), 64, 10));
    EXPECT_TRUE(lanes.feed(stream, bytes.data() + 64, 36, 11));
    EXPECT_FALSE(lanes.canFeed(stream));
    EXPECT_FALSE(lanes.feed(stream, bytes.data(), 1, 12));
    lanes.finish(stream);

    lanes.flush();
    EXPECT_FALSE(lanes.canSubmit()) << "digests not taken yet still count";
    EXPECT_FALSE(lanes.canFeed(stream)) << "released chunks not taken yet still count";
    std::uint64_t released[4];
    ASSERT_EQ(lanes.takeReleased(released), 2u);
    EXPECT_EQ(released[0], 10u);
    EXPECT_EQ(released[1], 11u);

    Md5Result results[4];
    ASSERT_EQ(lanes.takeDigests(results), 3u);
    std::map<std::uint64_t, Md5Value> byTag;
    for (const Md5Result& result : std::span(results, 3))
        byTag[result.tag] = result.value;
    EXPECT_EQ(byTag.at(1), opensslMd5(Bytes(bytes.begin(), bytes.begin() + 10)));
    EXPECT_EQ(byTag.at(2), opensslMd5(Bytes(bytes.begin(), bytes.begin() + 20)));
    EXPECT_EQ(byTag.at(4), opensslMd5(bytes));
    EXPECT_TRUE(lanes.canSubmit());
    EXPECT_NE(lanes.openStream(5), Md5Lanes::kNoStream);
}

INSTANTIATE_TEST_SUITE_P(Kernels, Md5LanesKernel, testing::ValuesIn(allKernelChoices()), choiceName);

TEST(Md5Lanes, MatchesRfc1321Vectors)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Md5KernelSet set : {Md5KernelSet::Automatic, Md5KernelSet::Scalar, Md5KernelSet::OpenSsl}) {
        for (const auto& [message, expected] : vectors) {
            const Md5Hex hex = Md5Lanes::md5Hex(message, set);
            EXPECT_EQ(std::string(hex.begin(), hex.end()), expected) << listgen::kernelSetName(set) << " \"" << message << '"';
        }
    }
}

TEST(Md5Lanes, HashWaitsForFullLanesAndFlushFinishes)
{
    Md5Lanes lanes;
    if (lanes.lanes() < 4)
        GTEST_SKIP() << "the automatic kernels have fewer than four lanes here";
    const std::string message = "three short messages";
    for (std::uint64_t tag = 0; tag < 3; ++tag)
        lanes.submit(message.data(), message.size(), tag);
    lanes.hash();
    Md5Result results[3];
    EXPECT_EQ(lanes.takeDigests(results), 0u);
    EXPECT_FALSE(lanes.idle());
    lanes.flush();
    EXPECT_EQ(lanes.takeDigests(results), 3u);
    EXPECT_TRUE(lanes.idle());
}

TEST(Md5Lanes, RejectsKernelsTheCpuOrTheLaneLimitsRuleOut)
{
    Md5Lanes::Options options;
    options.kernels = Md5KernelSet::Scalar;
    options.widestLanes = options.narrowestLanes = 3;
    EXPECT_THROW(Md5Lanes{options}, std::invalid_argument);
    for (const Md5KernelSet set : {Md5KernelSet::Avx512, Md5KernelSet::Avx2, Md5KernelSet::Sse2}) {
        if (listgen::cpuRuns(set))
            continue;
        options = {};
        options.kernels = set;
        EXPECT_THROW(Md5Lanes{options}, std::invalid_argument);
    }
}

} // namespace
