// MB/s of one core for MD5 through OpenSSL and through Md5Lanes with each kernel family.
// The table at the end gives each case's median over repetitions and its ratio to OpenSSL's
// single stream measured in the same process. For alternated runs use
//   md5_lanes_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
#include "listgen/digest/evp_digest.h"
#include "listgen/digest/md5_lanes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

using listgen::Md5KernelSet;
using listgen::Md5Lanes;
using listgen::Md5Result;

namespace {

constexpr std::size_t kLargeMessage = 256 << 10;
constexpr std::size_t kLargeStream = 8 << 20;
constexpr std::size_t kStreamChunk = 256 << 10;
constexpr std::size_t kMixFiles = 40000;
constexpr std::size_t kMixLargest = 8 << 10;
// Where the file mix's bytes come from: as if read into a reader's recycled buffers.
constexpr std::size_t kMixPool = 8 << 20;
const std::string kBaseline = "OpenSslOneStream";

const std::vector<unsigned char>& pool(std::size_t size)
{
    static std::map<std::size_t, std::vector<unsigned char>> pools;
    auto& bytes = pools[size];
    if (bytes.empty()) {
        bytes.resize(size);
        std::mt19937 random(7);
        for (auto& byte : bytes)
            byte = static_cast<unsigned char>(random());
    }
    return bytes;
}

const std::vector<std::size_t>& mixSizes()
{
    static const std::vector<std::size_t> sizes = [] {
        std::mt19937 random(40000);
        std::uniform_int_distribution<std::size_t> size(0, kMixLargest);
        std::vector<std::size_t> drawn(kMixFiles);
        for (auto& value : drawn)
            value = size(random);
        return drawn;
    }();
    return sizes;
}

template <class Body>
void measure(benchmark::State& state, std::size_t bytesPerIteration, Body body)
{
    for (auto _ : state)
        body();
    state.SetBytesProcessed(static_cast<std::int64_t>(bytesPerIteration * state.iterations()));
}

void drainDigests(Md5Lanes& lanes)
{
    Md5Result results[64];
    while (lanes.takeDigests(results) > 0) {
    }
}

Md5Lanes makeLanes(Md5KernelSet set, unsigned widest, unsigned narrowest)
{
    Md5Lanes::Options options;
    options.kernels = set;
    options.widestLanes = widest;
    options.narrowestLanes = narrowest;
    return Md5Lanes(options);
}

void openSslOneStream(benchmark::State& state)
{
    const auto& bytes = pool(kLargeMessage * 32);
    listgen::EvpMd5 md5;
    measure(state, bytes.size(), [&] {
        md5.begin();
        md5.update(bytes.data(), bytes.size());
        benchmark::DoNotOptimize(md5.finish());
    });
}

// `busy` 256 KiB messages on a kernel of `lanes` lanes, all busy until they end together.
void lanesBusy(benchmark::State& state, Md5KernelSet set, unsigned lanes, unsigned busy)
{
    if (!listgen::cpuRuns(set)) {
        state.SkipWithError("CPU lacks these kernels");
        return;
    }
    const auto& bytes = pool(kLargeMessage * 32);
    Md5Lanes md5 = makeLanes(set, lanes, lanes);
    measure(state, kLargeMessage * busy, [&] {
        for (unsigned lane = 0; lane < busy; ++lane)
            md5.submit(bytes.data() + lane * kLargeMessage, kLargeMessage, lane);
        md5.flush();
        drainDigests(md5);
    });
}

// Four 8 MiB files read in 256 KiB chunks, with nothing else to hash.
void fourLargeStreams(benchmark::State& state, Md5KernelSet set, unsigned widest)
{
    if (!listgen::cpuRuns(set)) {
        state.SkipWithError("CPU lacks these kernels");
        return;
    }
    const auto& bytes = pool(kLargeStream * 4);
    Md5Lanes md5 = makeLanes(set, widest, 1);
    measure(state, kLargeStream * 4, [&] {
        Md5Lanes::StreamId streams[4];
        for (unsigned s = 0; s < 4; ++s)
            streams[s] = md5.openStream(s);
        std::uint64_t released[16];
        for (std::size_t offset = 0; offset < kLargeStream; offset += kStreamChunk) {
            for (unsigned s = 0; s < 4; ++s)
                md5.feed(streams[s], bytes.data() + s * kLargeStream + offset, kStreamChunk, offset);
            md5.flush();
            while (md5.takeReleased(released) > 0) {
            }
        }
        for (unsigned s = 0; s < 4; ++s)
            md5.finish(streams[s]);
        md5.flush();
        while (md5.takeReleased(released) > 0) {
        }
        drainDigests(md5);
    });
}

std::size_t mixBytes()
{
    std::size_t total = 0;
    for (const std::size_t size : mixSizes())
        total += size;
    return total;
}

// Each file starts where the previous ended, wrapping around the pool.
template <class Visit>
void forEachMixFile(Visit visit)
{
    const auto& bytes = pool(kMixPool);
    std::size_t offset = 0;
    std::uint64_t tag = 0;
    for (const std::size_t size : mixSizes()) {
        if (offset + size > bytes.size())
            offset = 0;
        visit(bytes.data() + offset, size, tag++);
        offset += size;
    }
}

void mixOpenSsl(benchmark::State& state)
{
    listgen::EvpMd5 md5;
    measure(state, mixBytes(), [&] {
        forEachMixFile([&](const unsigned char* data, std::size_t size, std::uint64_t) {
            md5.begin();
            md5.update(data, size);
            benchmark::DoNotOptimize(md5.finish());
        });
    });
}

// Lanes refilled the moment a file ends; flush only at the end.
void mixRefill(benchmark::State& state)
{
    Md5Lanes md5;
    measure(state, mixBytes(), [&] {
        forEachMixFile([&](const unsigned char* data, std::size_t size, std::uint64_t tag) {
            if (!md5.canSubmit()) {
                md5.hash();
                drainDigests(md5);
                if (!md5.canSubmit()) {
                    md5.flush();
                    drainDigests(md5);
                }
            }
            md5.submit(data, size, tag);
        });
        md5.flush();
        drainDigests(md5);
    });
}

// The same files in fixed batches: a batch's lanes wait for its longest file.
void mixFixedBatches(benchmark::State& state, unsigned batch)
{
    Md5Lanes md5 = makeLanes(Md5KernelSet::Automatic, batch, batch);
    measure(state, mixBytes(), [&] {
        unsigned inBatch = 0;
        forEachMixFile([&](const unsigned char* data, std::size_t size, std::uint64_t tag) {
            md5.submit(data, size, tag);
            if (++inBatch == batch) {
                md5.flush();
                drainDigests(md5);
                inBatch = 0;
            }
        });
        md5.flush();
        drainDigests(md5);
    });
}

void registerAll()
{
    benchmark::RegisterBenchmark(kBaseline.c_str(), openSslOneStream);
    const struct {
        const char* name;
        Md5KernelSet set;
        unsigned lanes;
        unsigned busy;
    } busy[] = {
        {"LanesBusy/Avx512x32", Md5KernelSet::Avx512, 32, 32},
        {"LanesBusy/Avx512x16", Md5KernelSet::Avx512, 16, 16},
        {"LanesBusy/Avx512x16HalfBusy", Md5KernelSet::Avx512, 16, 8},
        {"LanesBusy/Avx512VlYmm8", Md5KernelSet::Avx512, 8, 8},
        {"LanesBusy/Avx2x24", Md5KernelSet::Avx2, 24, 24},
        {"LanesBusy/Avx2x16", Md5KernelSet::Avx2, 16, 16},
        {"LanesBusy/Avx2x8", Md5KernelSet::Avx2, 8, 8},
        {"LanesBusy/Sse2x8", Md5KernelSet::Sse2, 8, 8},
        {"LanesBusy/Sse2x4", Md5KernelSet::Sse2, 4, 4},
        // What the last one or two files of a run cost in each narrow kernel.
        {"LanesBusy/Avx512VlXmm4OneBusy", Md5KernelSet::Avx512, 4, 1},
        {"LanesBusy/Avx512VlXmm4TwoBusy", Md5KernelSet::Avx512, 4, 2},
        {"LanesBusy/Sse2x4OneBusy", Md5KernelSet::Sse2, 4, 1},
        {"LanesBusy/Sse2x4TwoBusy", Md5KernelSet::Sse2, 4, 2},
        {"LanesBusy/ScalarOne", Md5KernelSet::Scalar, 1, 1},
        {"LanesBusy/ScalarTwoInterleaved", Md5KernelSet::Scalar, 2, 2},
    };
    for (const auto& entry : busy) {
        benchmark::RegisterBenchmark(entry.name, [entry](benchmark::State& state) {
            lanesBusy(state, entry.set, entry.lanes, entry.busy);
        });
    }
    const struct {
        const char* name;
        Md5KernelSet set;
        unsigned widest;
    } large[] = {
        {"FourLargeStreams/Automatic", Md5KernelSet::Automatic, 32},
        {"FourLargeStreams/Avx512VlXmm4", Md5KernelSet::Avx512, 4},
        {"FourLargeStreams/Sse2x4", Md5KernelSet::Sse2, 4},
        {"FourLargeStreams/ScalarTwoInterleaved", Md5KernelSet::Scalar, 2},
    };
    for (const auto& entry : large) {
        benchmark::RegisterBenchmark(entry.name, [entry](benchmark::State& state) {
            fourLargeStreams(state, entry.set, entry.widest);
        });
    }
    benchmark::RegisterBenchmark("FileMix/OpenSsl", mixOpenSsl);
    benchmark::RegisterBenchmark("FileMix/Refill", mixRefill);
    benchmark::RegisterBenchmark("FileMix/FixedBatches16", [](benchmark::State& state) {
        mixFixedBatches(state, 16);
    });
    benchmark::RegisterBenchmark("FileMix/FixedBatches32", [](benchmark::State& state) {
        mixFixedBatches(state, 32);
    });
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Prints as usual and keeps each case's rate per repetition for the table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                rates_[run.run_name.function_name].push_back(run.counters.at("bytes_per_second") / 1e6);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printTable() const;

private:
    std::map<std::string, std::vector<double>> rates_;
};

void TableReporter::printTable() const
{
    const auto& rates = rates_;
    const auto baseline = rates.find(kBaseline);
    if (baseline == rates.end())
        return;
    const double openSsl = median(baseline->second);
    std::printf("\n%-40s %10s %10s %5s\n", "case (medians)", "MB/s", "x OpenSSL", "runs");
    for (const auto& [name, values] : rates)
        std::printf("%-40s %10.0f %10.2f %5zu\n", name.c_str(), median(values), median(values) / openSsl, values.size());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.printTable();
    return 0;
}
