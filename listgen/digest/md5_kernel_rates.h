#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace listgen {

// How fast each MD5 kernel hashes on one core, and so which kernel to run for how many files
// at once. A kernel costs the same per call whatever number of its lanes carry data, so one
// rate per kernel, that of one lane, gives its rate for every count of busy lanes.
class Md5KernelRates {
public:
    struct Kernel {
        // As kernelName() gives it: the set and the lane count ("avx512-32", "openssl-1").
        std::string name;
        unsigned lanes = 1;
        // Bytes per second of one lane, all lanes busy.
        double laneRate = 0;
    };

    // The ladder keeps the kernels worth running: the one with the best rate with every lane
    // busy, then each narrower one that is faster per lane than every kernel kept before it.
    // Throws std::invalid_argument when no kernel has a positive rate.
    explicit Md5KernelRates(std::vector<Kernel> kernels);

    // Every kernel given, and those of the ladder, widest first.
    const std::vector<Kernel>& kernels() const noexcept { return kernels_; }
    const std::vector<Kernel>& ladder() const noexcept { return ladder_; }
    // The rate of a kernel given by name, or 0.
    double laneRate(std::string_view name) const;
    unsigned widest() const noexcept { return ladder_.front().lanes; }

    // The kept kernel with the best total rate for `jobs` files at once, of those with at least
    // `fewestLanes` lanes; a narrower kernel than `jobs` takes them in turns. Among rates within
    // kTurnsCost of each other the one that needs no turns, then the narrower one, wins.
    std::size_t bestFor(unsigned jobs, unsigned fewestLanes = 1) const;
    // Bytes per second of one core with `jobs` files at once in the best kernel for them.
    double coreRate(unsigned jobs) const;

    // Every kernel, one a line: name, lanes, bytes per second of one lane. parse() takes back
    // what text() wrote and refuses anything else.
    std::string text() const;
    static std::optional<Md5KernelRates> parse(std::string_view text);

    // Taking files in turns costs a little (their chaining values move in and out of lanes),
    // so a narrower kernel must be this much faster in total before it is chosen for them.
    static constexpr double kTurnsCost = 0.03;

private:
    double totalRate(std::size_t kernel, unsigned jobs) const;

    std::vector<Kernel> kernels_;
    std::vector<Kernel> ladder_;
};

} // namespace listgen
