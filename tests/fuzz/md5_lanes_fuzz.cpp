// Any mix of whole messages and chunked streams, submitted, fed, hashed and flushed in any
// order and under any capacity limits, must give OpenSSL's digest for every message, and
// must release every chunk exactly once and only when it is no longer read: chunks are
// overwritten the moment they are released.
#include "../listgen/digest/md5_lanes_driver.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using listgen::Md5Lanes;
using testing_support::Bytes;

const std::vector<testing_support::KernelChoice>& kernelChoices()
{
    static const std::vector<testing_support::KernelChoice> choices = [] {
        std::vector<testing_support::KernelChoice> all = testing_support::allKernelChoices();
        std::erase_if(all, [](const auto& choice) { return !listgen::cpuRuns(choice.set); });
        return all;
    }();
    return choices;
}

Bytes pseudoRandomBytes(std::size_t size, std::uint32_t seed)
{
    Bytes bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
}

// The streams still open, each with its tag, oldest first.
using OpenStreams = std::vector<std::pair<Md5Lanes::StreamId, std::uint64_t>>;

void finish(Md5Lanes& lanes, OpenStreams& open, unsigned which)
{
    if (open.empty())
        return;
    const auto position = open.begin() + which % open.size();
    lanes.finish(position->first);
    open.erase(position);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    const auto byte = [&]() -> unsigned { return at < size ? data[at++] : 0; };
    const auto twoBytes = [&] { return byte() | byte() << 8; };
    Md5Lanes::Options options = testing_support::optionsFor(kernelChoices()[byte() % kernelChoices().size()]);
    options.messages = 1 + byte() % 40;
    options.streams = 1 + byte() % 4;
    options.chunksPerStream = 1 + byte() % 3;
    Md5Lanes lanes(options);
    testing_support::Md5LanesDriver driver(lanes);
    OpenStreams open;
    std::uint64_t nextTag = 0;

    for (std::uint32_t step = 0; at < size && step < 400; ++step) {
        switch (byte() % 5) {
        case 0:
            driver.submit(pseudoRandomBytes(twoBytes() % 3000, step), nextTag++);
            break;
        case 1: {
            // Every slot may hold a stream still open; only finished ones make room.
            Md5Lanes::StreamId stream;
            while ((stream = driver.open(nextTag)) == Md5Lanes::kNoStream)
                finish(lanes, open, 0);
            open.emplace_back(stream, nextTag++);
            break;
        }
        case 2: {
            const unsigned which = byte();
            const Bytes chunk = pseudoRandomBytes(twoBytes() % 2000, step);
            if (!open.empty())
                driver.feed(open[which % open.size()].first, open[which % open.size()].second, chunk);
            break;
        }
        case 3:
            finish(lanes, open, byte());
            break;
        default:
            driver.hash();
            break;
        }
    }
    while (!open.empty())
        finish(lanes, open, 0);
    driver.finishAll();
    if (!driver.problems().empty())
        std::abort();
    return 0;
}
