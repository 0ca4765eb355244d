#pragma once

#include "listgen/digest/md5_kernel_rates.h"

#include <cstdint>
#include <span>
#include <vector>

namespace listgen {

// A large file in flight: who streams it now (kWaiting: no one yet, or it is moving), and its
// bytes still to hash.
struct StreamLoad {
    static constexpr int kWaiting = -1;
    int reader = kWaiting;
    std::uint64_t bytesLeft = 0;
};

// Which reader hashes which large file. Small files go to whichever reader claims them in walk
// order and fill the lanes around the streams. A large file is measured by the reader that
// claimed it, and from then on its place comes from plan(), run again whenever a stream is
// added or ends:
//  - The readers' shares of the streams are the counts that together hash fastest by the
//    kernel rates (a core with k streams runs the best kernel for k lanes): while there are
//    no more streams than readers, each has one of its own.
//  - The streams with the most bytes left go to the readers with the smallest shares, where they
//    share a core least; among readers of equal share, a stream stays where it is, the one
//    that came first when a reader holds more than its share.
//  - A stream placed with another reader than its own moves there mid-file; beyond what the
//    readers can hold, the smallest wait.
// File-by-file readers hash one file at a time and take the next one only then, so none holds a
// file another could start.
// Pure: the work queue calls it with what it knows of the readers.
class Placement {
public:
    // `mostStreams`: the most streams one reader can hold at once.
    Placement(const Md5KernelRates& rates, unsigned readers, unsigned mostStreams);

    // The streams each of `readers` should hold for `streams` in all, most first.
    std::vector<unsigned> shares(unsigned streams, unsigned readers) const;

    // The reader each stream should be with (or StreamLoad::kWaiting), the streams in the order
    // they came; `active` says which readers take streams.
    std::vector<int> plan(std::span<const StreamLoad> streams, const std::vector<bool>& active) const;

    static constexpr std::size_t kFileByFileClaim = 1;

private:
    unsigned readers_;
    unsigned mostStreams_;
    // best_[n][s]: the best total rate of s streams on n readers; count_[n][s]: what one of
    // them holds in it.
    std::vector<std::vector<double>> best_;
    std::vector<std::vector<unsigned>> count_;
};

} // namespace listgen
