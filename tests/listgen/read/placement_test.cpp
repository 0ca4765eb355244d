#include "listgen/read/placement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using listgen::Md5KernelRates;
using listgen::Placement;
using listgen::StreamLoad;

namespace {

constexpr double kMiB = 1 << 20;

// Bytes per second of one lane of each kernel, all lanes busy.
// As the rate probe measured them once on an AVX-512 machine.
const Md5KernelRates kHere({{"avx512-32", 32, 287e6}, {"avx512-16", 16, 410e6}, {"avx512-8", 8, 432e6},
                            {"avx512-4", 4, 443e6}, {"scalar-2", 2, 651e6}, {"scalar-1", 1, 699e6},
                            {"openssl-1", 1, 742e6}});
// Where the wide kernel's single lane beat the scalar ones: a plan right on one CPU only fails here.
const Md5KernelRates kTuned({{"avx512-32", 32, 246e6}, {"avx512-16", 16, 508e6}, {"avx512-8", 8, 635e6},
                             {"avx512-4", 4, 693e6}, {"scalar-2", 2, 493e6}, {"scalar-1", 1, 583e6},
                             {"openssl-1", 1, 614e6}});

// Readers on a fake clock: every large file is there from the start with the reader that
// claimed it in walk order, the placement plans again whenever a stream ends, and streams move at
// once. A reader runs its streams in the best kernel for their number.
double makespan(const Md5KernelRates& rates, const Placement& placement, unsigned cores,
                const std::vector<double>& files)
{
    std::vector<StreamLoad> streams;
    for (std::size_t i = 0; i < files.size(); ++i)
        streams.push_back({static_cast<int>(i % cores), static_cast<std::uint64_t>(files[i])});
    double now = 0;
    while (!streams.empty()) {
        const std::vector<int> placed = placement.plan(streams, std::vector<bool>(cores, true));
        std::vector<unsigned> held(cores, 0);
        for (std::size_t i = 0; i < streams.size(); ++i) {
            streams[i].reader = placed[i];
            if (placed[i] != StreamLoad::kWaiting)
                ++held[static_cast<unsigned>(placed[i])];
        }
        const auto rateOf = [&](const StreamLoad& stream) {
            if (stream.reader == StreamLoad::kWaiting)
                return 0.0;
            const unsigned count = held[static_cast<unsigned>(stream.reader)];
            return rates.coreRate(count) / count;
        };
        double step = INFINITY;
        for (const StreamLoad& stream : streams)
            step = rateOf(stream) > 0 ? std::min(step, static_cast<double>(stream.bytesLeft) / rateOf(stream)) : step;
        if (!(step < INFINITY))
            return INFINITY;
        now += step;
        for (StreamLoad& stream : streams)
            stream.bytesLeft -= std::min<std::uint64_t>(stream.bytesLeft, std::llround(step * rateOf(stream)));
        std::erase_if(streams, [](const StreamLoad& stream) { return stream.bytesLeft < 16; });
    }
    return now;
}

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

// Every shape from 1 to 64 cores, on the rates of two AVX-512 machines. A few large files, alone
// or in a heavy tail, end within 10 % of the lower bound. Many large files of similar sizes end within 50 %: the bound
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
    shapes.push_back({"8 of 256 MiB", std::vector<double>(8, 256 * kMiB), 1.5});
    shapes.push_back({"800 photos of 2 to 8 MB", logUniform(random, 800, 2e6, 8e6), 1.5});
    // The large files of a heavy tail: those above 256 KiB, which the readers stream.
    std::vector<double> pareto(250);
    for (double& size : pareto)
        size = std::min(kMiB / 4 / std::pow(std::uniform_real_distribution<double>(0, 1)(random), 1 / 0.6), 1024 * kMiB);
    shapes.push_back({"a Pareto tail", pareto, 1.10});
    for (const std::size_t streams : {1, 2, 3, 4, 5, 7, 9, 12, 16, 17, 24, 33, 50, 65, 100, 129, 200}) {
        shapes.push_back({std::to_string(streams) + " of 1 to 256 MiB", logUniform(random, streams, kMiB, 256 * kMiB), 1.5});
        shapes.push_back({std::to_string(streams) + " of 64 to 256 MiB", logUniform(random, streams, 64 * kMiB, 256 * kMiB), 1.5});
    }

    for (const Md5KernelRates* rates : {&kHere, &kTuned}) {
        for (const unsigned cores : {1, 2, 3, 4, 6, 8, 16, 32, 64}) {
            const Placement placement(*rates, cores, rates->widest());
            for (const Shape& shape : shapes) {
                const double bound = lowerBound(*rates, cores, shape.files);
                const double took = makespan(*rates, placement, cores, shape.files);
                EXPECT_LE(took, shape.within * bound) << (rates == &kHere ? "here, " : "tuned, ") << cores
                                                      << " cores, " << shape.name << ": " << took / bound << " x";
            }
        }
    }
}
