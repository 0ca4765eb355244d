#include "listgen/read/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <string>
#include <vector>

using listgen::Md5KernelRates;
using listgen::Placement;
using listgen::StreamLoad;

namespace {

constexpr double kMiB = 1 << 20;
// Files up to this size are read whole and hashed as messages, as the io_uring reader does.
constexpr double kSmallFile = 256 << 10;
// Files a reader claims at once, as the io_uring reader does.
constexpr std::size_t kClaim = 32;

// Bytes per second of one lane of each kernel, all lanes busy.
// This machine (AMD EPYC, AVX-512), as the rate probe measured it here once.
const Md5KernelRates kHere({{"avx512-32", 32, 287e6}, {"avx512-16", 16, 410e6}, {"avx512-8", 8, 432e6},
                            {"avx512-4", 4, 443e6}, {"scalar-2", 2, 651e6}, {"scalar-1", 1, 699e6},
                            {"openssl-1", 1, 742e6}});
// The CPU the kernel ladder was first tuned on: the README's lanes table at 3c90aa2 (MB/s per
// core divided by the busy lanes).
const Md5KernelRates kTuned({{"avx512-32", 32, 246e6}, {"avx512-16", 16, 508e6}, {"avx512-8", 8, 635e6},
                             {"avx512-4", 4, 693e6}, {"scalar-2", 2, 493e6}, {"scalar-1", 1, 583e6},
                             {"openssl-1", 1, 614e6}});

// Readers on a fake clock: each claims the next files in walk order when it has no small ones
// left, and every large file it finds, and every one that ends, has the placement plan again;
// streams move at once. A core with small files runs its widest kernel, its streams in lanes
// beside them; without, its streams run in the best kernel for their number.
class Simulation {
public:
    Simulation(const Md5KernelRates& rates, const Placement& placement, unsigned cores, const std::vector<double>& files)
        : rates_(rates), placement_(placement), files_(files), small_(cores, 0), active_(cores, true)
    {
    }

    double makespan()
    {
        double now = 0;
        for (;;) {
            claim();
            const std::vector<double> each = rates();
            std::vector<double> streamRate(streams_.size(), 0);
            for (std::size_t i = 0; i < streams_.size(); ++i)
                streamRate[i] = streams_[i].reader == StreamLoad::kWaiting ? 0 : each[static_cast<unsigned>(streams_[i].reader)];
            std::vector<double> smallRate(small_.size(), 0);
            for (unsigned reader = 0; reader < small_.size(); ++reader)
                smallRate[reader] = small_[reader] > 0 ? top() * (rates_.widest() - std::min(held_[reader], rates_.widest())) : 0;
            double step = INFINITY;
            for (std::size_t i = 0; i < streams_.size(); ++i) {
                if (streamRate[i] > 0)
                    step = std::min(step, static_cast<double>(streams_[i].bytesLeft) / streamRate[i]);
            }
            for (std::size_t reader = 0; reader < small_.size(); ++reader) {
                if (small_[reader] > 0)
                    step = std::min(step, small_[reader] / smallRate[reader]);
            }
            if (!(step < INFINITY))
                return next_ == files_.size() && streams_.empty() ? now : INFINITY;
            now += step;
            for (std::size_t i = 0; i < streams_.size(); ++i)
                streams_[i].bytesLeft -= std::min<std::uint64_t>(streams_[i].bytesLeft, std::llround(step * streamRate[i]));
            for (std::size_t reader = 0; reader < small_.size(); ++reader)
                small_[reader] = small_[reader] - step * smallRate[reader] < 1 ? 0 : small_[reader] - step * smallRate[reader];
            const std::size_t before = streams_.size();
            std::erase_if(streams_, [](const StreamLoad& stream) { return stream.bytesLeft < 16; });
            if (streams_.size() != before)
                replan();
        }
    }

private:
    void claim()
    {
        bool found = false;
        for (unsigned reader = 0; reader < small_.size(); ++reader) {
            for (std::size_t claimed = 0; small_[reader] == 0 && next_ < files_.size() && claimed < kClaim; ++claimed) {
                const double size = files_[next_++];
                if (size <= kSmallFile) {
                    small_[reader] += std::max(size, 1.0);
                } else {
                    streams_.push_back({static_cast<int>(reader), static_cast<std::uint64_t>(size)});
                    found = true;
                }
            }
        }
        if (found)
            replan();
    }

    void replan()
    {
        const std::vector<int> placed = placement_.plan(streams_, active_);
        for (std::size_t i = 0; i < streams_.size(); ++i)
            streams_[i].reader = placed[i];
    }

    double top() const { return rates_.ladder().front().laneRate; }

    // Each reader's rate per stream.
    std::vector<double> rates()
    {
        held_.assign(small_.size(), 0);
        for (const StreamLoad& stream : streams_) {
            if (stream.reader != StreamLoad::kWaiting)
                ++held_[static_cast<unsigned>(stream.reader)];
        }
        std::vector<double> each(small_.size(), 0);
        for (unsigned reader = 0; reader < small_.size(); ++reader) {
            const unsigned held = held_[reader];
            if (held > 0)
                each[reader] = small_[reader] > 0 ? top() * std::min(held, rates_.widest()) / held : rates_.coreRate(held) / held;
        }
        return each;
    }

    const Md5KernelRates& rates_;
    const Placement& placement_;
    const std::vector<double>& files_;
    std::size_t next_ = 0;
    std::vector<double> small_;
    std::vector<bool> active_;
    std::vector<StreamLoad> streams_;
    std::vector<unsigned> held_;
};

// No placement can beat this: for every k, the k largest files at the best rate k files can
// have on these cores, each core with j of them at the best total rate of j lanes' worth.
double lowerBound(const Md5KernelRates& rates, unsigned cores, std::vector<double> files)
{
    std::sort(files.begin(), files.end(), std::greater<>());
    const unsigned widest = rates.widest();
    const std::size_t most = std::min<std::size_t>(files.size(), std::size_t{cores} * widest);
    // best[k]: the best total rate of k files on the cores counted so far.
    std::vector<double> best(most + 1, 0);
    for (unsigned core = 1; core < cores + 1; ++core) {
        std::vector<double> next(most + 1, 0);
        for (std::size_t k = 0; k <= most; ++k) {
            for (unsigned here = 0; here <= std::min<std::size_t>(k, widest); ++here)
                next[k] = std::max(next[k], best[k - here] + (here > 0 ? rates.coreRate(here) : 0));
        }
        best = next;
    }
    double bound = 0;
    double bytes = 0;
    for (std::size_t k = 1; k <= files.size(); ++k) {
        bytes += files[k - 1];
        bound = std::max(bound, bytes / best[std::min(k, most)]);
    }
    return bound;
}

std::vector<double> logUniform(std::mt19937& random, std::size_t count, double least, double most)
{
    std::uniform_real_distribution<double> exponent(std::log(least), std::log(most));
    std::vector<double> sizes(count);
    for (double& size : sizes)
        size = std::exp(exponent(random));
    return sizes;
}

} // namespace

// Every shape from 1 to 64 cores, on the rates of this machine and of the CPU the kernels were
// first tuned on. A few large files, alone or among many small ones or in a heavy tail, end
// within 10 % of the lower bound. Many large files of similar sizes end within 50 %: the bound
// lets the largest run in narrow kernels while the rest run wide, but a core runs one kernel at
// a time, and between events each reader runs all the streams it holds.
TEST(Placement, SimulatedRunsEndNearTheBound)
{
    std::mt19937 random(30);
    struct Shape {
        std::string name;
        std::vector<double> files;
        double within;
    };
    std::vector<Shape> shapes;
    for (const std::size_t large : {1, 2, 3, 4})
        shapes.push_back({std::to_string(large) + " of 256 MiB", std::vector<double>(large, 256 * kMiB), 1.10});
    shapes.push_back({"4 of 256 MiB and a tiny one", {256 * kMiB, 256 * kMiB, 256 * kMiB, 256 * kMiB, 10}, 1.10});
    shapes.push_back({"8 of 256 MiB", std::vector<double>(8, 256 * kMiB), 1.5});
    shapes.push_back({"800 photos of 2 to 8 MB", logUniform(random, 800, 2e6, 8e6), 1.5});
    std::vector<double> twoAmongSmall = logUniform(random, 10'000, 1, 8 << 10);
    twoAmongSmall[3'000] = twoAmongSmall[7'000] = 256 * kMiB;
    shapes.push_back({"2 large among 10,000 small", twoAmongSmall, 1.10});
    std::vector<double> pareto(3'000);
    for (double& size : pareto)
        size = std::min(4096 / std::pow(std::uniform_real_distribution<double>(0, 1)(random), 1 / 0.6), 1024 * kMiB);
    shapes.push_back({"a Pareto tail", pareto, 1.10});
    for (const std::size_t streams : {1, 2, 3, 4, 5, 7, 9, 12, 16, 17, 24, 33, 50, 65, 100, 129, 200}) {
        shapes.push_back({std::to_string(streams) + " of 1 to 256 MiB", logUniform(random, streams, kMiB, 256 * kMiB), 1.5});
        shapes.push_back({std::to_string(streams) + " of 64 to 256 MiB", logUniform(random, streams, 64 * kMiB, 256 * kMiB), 1.5});
    }

    for (const auto& [table, rates] : {std::pair{"here", &kHere}, std::pair{"tuned", &kTuned}}) {
        for (const unsigned cores : {1, 2, 3, 4, 6, 8, 16, 32, 64}) {
            const Placement placement(*rates, cores, rates->widest());
            for (const Shape& shape : shapes) {
                const double bound = lowerBound(*rates, cores, shape.files);
                const double makespan = Simulation(*rates, placement, cores, shape.files).makespan();
                EXPECT_LE(makespan, shape.within * bound)
                    << table << ", " << cores << " cores, " << shape.name << ": " << makespan / bound << " x the bound";
            }
        }
    }
}
