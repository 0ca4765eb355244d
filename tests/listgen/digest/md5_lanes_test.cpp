// The resumed streams' oracle is OpenSSL's low-level interface, whose counters can be set.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "listgen/digest/md5_lanes.h"
#include "listgen/digest/sha256_stream.h"

#include "md5_lanes_driver.h"

#include <openssl/md5.h>
#include <openssl/sha.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

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

// A stream taken out after any number of bytes, amid other streams and messages, goes on in
// another Md5Lanes to the digest the whole content has.
TEST_P(Md5LanesKernel, StreamsMoveToOtherLanesAtAnyPoint)
{
    std::mt19937 random(17);
    const Bytes content = randomBytes(random, 5000);
    Md5Lanes first = make();
    Md5Lanes second = make();
    Md5LanesDriver around(first);
    for (const std::size_t split : {0, 1, 63, 64, 65, 130, 4999, 5000}) {
        const Md5Lanes::StreamId stream = first.openStream(split);
        around.submit(randomBytes(random, random() % 3000), 100 + split);
        for (std::size_t at = 0; at < split; at += 2000)
            ASSERT_TRUE(first.feed(stream, content.data() + at, std::min<std::size_t>(2000, split - at), 9));
        first.hash();
        const listgen::Md5StreamState state = first.exportStream(stream);
        std::uint64_t released[8];
        while (first.takeReleased(released) > 0) {
        }
        const Md5Lanes::StreamId moved = second.openStream(split, state);
        ASSERT_TRUE(second.feed(moved, content.data() + split, content.size() - split, 0));
        second.finish(moved);
        second.flush();
        Md5Result result{};
        ASSERT_EQ(second.takeDigests({&result, 1}), 1U);
        EXPECT_EQ(result.value, opensslMd5(content)) << "moved after " << split << " bytes";
        while (second.takeReleased(released) > 0) {
        }
    }
    around.finishAll();
    EXPECT_EQ(around.problems(), "");
}

INSTANTIATE_TEST_SUITE_P(Kernels, Md5LanesKernel, testing::ValuesIn(allKernelChoices()), choiceName);

// Lengths past 2^32 bytes, cheaply: a stream resumed as if 2^32 - 64 + rest bytes had gone
// before, against OpenSSL's contexts with their bit counters set alike; with and without a
// partial block, for MD5 in lanes and for SHA-256.
TEST(StreamState, LengthsPastFourGibibytesMatchOpenSsl)
{
    std::mt19937 random(19);
    const Bytes head = randomBytes(random, 64 + 10);
    const Bytes tail = randomBytes(random, 200);
    for (const std::size_t rest : {0, 10}) {
        const std::uint64_t resumedAt = (std::uint64_t{1} << 32) - 64 + rest;
        const std::uint64_t bits = resumedAt * 8;

        Md5Lanes lanes;
        const Md5Lanes::StreamId stream = lanes.openStream(0);
        lanes.feed(stream, head.data(), 64 + rest, 0);
        listgen::Md5StreamState md5State = lanes.exportStream(stream);
        md5State.length = resumedAt;
        const Md5Lanes::StreamId resumed = lanes.openStream(1, md5State);
        lanes.feed(resumed, tail.data(), tail.size(), 1);
        lanes.finish(resumed);
        lanes.flush();
        Md5Result result{};
        ASSERT_EQ(lanes.takeDigests({&result, 1}), 1U);
        MD5_CTX md5{};
        MD5_Init(&md5);
        MD5_Update(&md5, head.data(), 64 + rest);
        md5.Nl = static_cast<MD5_LONG>(bits);
        md5.Nh = static_cast<MD5_LONG>(bits >> 32);
        MD5_Update(&md5, tail.data(), tail.size());
        Md5Value expected{};
        MD5_Final(expected.data(), &md5);
        EXPECT_EQ(result.value, expected) << "MD5 with " << rest << " bytes of a block";

        listgen::Sha256Stream sha256;
        sha256.update(head.data(), 64 + rest);
        listgen::Sha256State shaState = sha256.state();
        ASSERT_EQ(shaState.length, 64 + rest);
        shaState.length = resumedAt;
        listgen::Sha256Stream moved;
        moved.begin(shaState);
        moved.update(tail.data(), tail.size());
        SHA256_CTX oracle{};
        SHA256_Init(&oracle);
        SHA256_Update(&oracle, head.data(), 64 + rest);
        oracle.Nl = static_cast<SHA_LONG>(bits);
        oracle.Nh = static_cast<SHA_LONG>(bits >> 32);
        SHA256_Update(&oracle, tail.data(), tail.size());
        listgen::Sha256Value sha256Expected{};
        SHA256_Final(sha256Expected.data(), &oracle);
        EXPECT_EQ(moved.finish(), sha256Expected) << "SHA-256 with " << rest << " bytes of a block";
    }
}

// Rates that make two scalar lanes faster in all than eight SSE2 lanes with three busy have
// three streams take turns in the two: each digest must come out right all the same.
TEST(Md5Lanes, StreamsTakingTurnsInANarrowerKernelMatchOpenSsl)
{
    if (!listgen::cpuRuns(Md5KernelSet::Sse2))
        GTEST_SKIP() << "this CPU has no SSE2";
    const listgen::Md5KernelRates rates(
        {{"sse2-8", 8, 1e8}, {"sse2-4", 4, 1.1e8}, {"scalar-2", 2, 3e8}, {"scalar-1", 1, 3.5e8}});
    ASSERT_EQ(rates.ladder()[rates.bestFor(3)].name, "scalar-2");
    Md5Lanes::Options options;
    options.kernels = Md5KernelSet::Sse2;
    options.rates = &rates;
    options.streams = 3;
    Md5Lanes lanes(options);
    Md5LanesDriver driver(lanes);
    std::mt19937 random(29);
    Md5Lanes::StreamId ids[3];
    for (std::uint64_t s = 0; s < 3; ++s)
        ids[s] = driver.open(s);
    for (int round = 0; round < 6; ++round) {
        for (std::uint64_t s = 0; s < 3; ++s)
            driver.feed(ids[s], s, randomBytes(random, 1 + random() % 9000));
        driver.hash();
        lanes.flush();
    }
    for (const Md5Lanes::StreamId id : ids)
        lanes.finish(id);
    driver.finishAll();
    EXPECT_EQ(driver.problems(), "");
}

} // namespace
