#include "listgen/read/placement.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>

namespace listgen {

namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();
// Between counts of equal rate, the more even one: each stream then shares its core least.
constexpr double kEvenness = 1e-3;

} // namespace

Placement::Placement(const Md5KernelRates& rates, unsigned readers, unsigned mostStreams)
    : readers_(std::max(1U, readers))
    , mostStreams_(std::max(1U, mostStreams))
    , best_(readers_ + 1)
    , count_(readers_ + 1)
{
    std::vector<double> core(mostStreams_ + 1, 0);
    for (unsigned k = 1; k <= mostStreams_; ++k)
        core[k] = rates.coreRate(k) - kEvenness * k * k;
    best_[0] = {0};
    count_[0] = {0};
    for (unsigned n = 1; n <= readers_; ++n) {
        const unsigned most = n * mostStreams_;
        best_[n].assign(most + 1, kNone);
        count_[n].assign(most + 1, 0);
        for (unsigned s = 0; s <= most; ++s) {
            for (unsigned k = 0; k <= std::min(s, mostStreams_); ++k) {
                const unsigned rest = s - k;
                if (rest >= best_[n - 1].size() || best_[n - 1][rest] == kNone)
                    continue;
                if (const double rate = core[k] + best_[n - 1][rest]; rate > best_[n][s]) {
                    best_[n][s] = rate;
                    count_[n][s] = k;
                }
            }
        }
    }
}

std::vector<unsigned> Placement::shares(unsigned streams, unsigned readers) const
{
    readers = std::clamp(readers, 1U, readers_);
    std::vector<unsigned> shares;
    for (unsigned n = readers, s = std::min(streams, readers * mostStreams_); n > 0; --n) {
        shares.push_back(count_[n][s]);
        s -= count_[n][s];
    }
    std::sort(shares.begin(), shares.end(), std::greater<>());
    return shares;
}

std::vector<int> Placement::plan(std::span<const StreamLoad> streams, const std::vector<bool>& active) const
{
    std::vector<unsigned> readers;
    std::vector<unsigned> held(active.size(), 0);
    for (const StreamLoad& stream : streams) {
        if (stream.reader != StreamLoad::kWaiting)
            ++held[static_cast<std::size_t>(stream.reader)];
    }
    for (unsigned reader = 0; reader < active.size(); ++reader) {
        if (active[reader])
            readers.push_back(reader);
    }
    std::vector<int> placed(streams.size(), StreamLoad::kWaiting);
    if (readers.empty())
        return placed;
    // The larger shares go to the readers that hold most, so that fewest streams move.
    std::stable_sort(readers.begin(), readers.end(), [&](unsigned a, unsigned b) { return held[a] > held[b]; });
    const std::vector<unsigned> counts = shares(static_cast<unsigned>(streams.size()), static_cast<unsigned>(readers.size()));
    std::vector<unsigned> share(active.size(), 0);
    for (std::size_t i = 0; i < readers.size(); ++i)
        share[readers[i]] = counts[i];
    std::stable_sort(readers.begin(), readers.end(), [&](unsigned a, unsigned b) { return share[a] < share[b]; });

    // By bytes left to 1.6 %, so that files of about the same size keep their places; among
    // those, files waiting for a reader go first, since placing them moves nothing.
    const auto rounded = [](std::uint64_t bytes) {
        const int shift = std::max(0, static_cast<int>(std::bit_width(bytes)) - 7);
        return bytes >> shift << shift;
    };
    std::vector<std::size_t> order(streams.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::uint64_t left = rounded(streams[a].bytesLeft);
        const std::uint64_t right = rounded(streams[b].bytesLeft);
        if (left != right)
            return left > right;
        return streams[a].reader == StreamLoad::kWaiting && streams[b].reader != StreamLoad::kWaiting;
    });
    std::vector<unsigned> given(active.size(), 0);
    std::size_t next = 0;
    // Readers of one share take the next streams by size together, each keeping its own first.
    for (auto group = readers.begin(); group != readers.end();) {
        const auto end = std::find_if(group, readers.end(), [&](unsigned r) { return share[r] != share[*group]; });
        const std::size_t last = std::min(order.size(), next + share[*group] * static_cast<std::size_t>(end - group));
        const auto inGroup = [&](int reader) {
            return reader != StreamLoad::kWaiting && std::find(group, end, static_cast<unsigned>(reader)) != end;
        };
        // The streams that came first stay first: moving one not started yet costs least.
        std::vector<std::size_t> block(order.begin() + static_cast<std::ptrdiff_t>(next),
                                       order.begin() + static_cast<std::ptrdiff_t>(last));
        std::sort(block.begin(), block.end());
        for (const std::size_t stream : block) {
            const int holder = streams[stream].reader;
            if (inGroup(holder) && given[static_cast<unsigned>(holder)] < share[static_cast<unsigned>(holder)]) {
                placed[stream] = holder;
                ++given[static_cast<unsigned>(holder)];
            }
        }
        auto reader = group;
        for (std::size_t i = next; i < last; ++i) {
            if (placed[order[i]] != StreamLoad::kWaiting)
                continue;
            while (given[*reader] == share[*reader])
                ++reader;
            placed[order[i]] = static_cast<int>(*reader);
            ++given[*reader];
        }
        next = last;
        group = end;
    }
    return placed;
}

} // namespace listgen
