#include "listgen/digest/md5_rate_probe.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/digest/md5_kernel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace listgen {

namespace {

using md5::kPlanBlocks;

constexpr std::size_t kBlock = 64;
// Bytes per timed round of a kernel: about 10 µs for the widest kernels, 100 µs for one lane.
constexpr std::size_t kRoundBytes = std::size_t{64} << 10;
constexpr int kRounds = 5;
// The first round of a kernel pays for its code and data coming into the caches.
constexpr int kCheckRounds = 2;
// A cached rate stands while a fresh timing is within this factor of it.
constexpr double kAgreement = 1.5;
constexpr std::size_t kLargestCache = 4096;

double threadSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Each lane reads its own blocks of one buffer small enough to stay in the cache.
class Bench {
public:
    Bench() : buffer_(md5::kMaxLanes * kPlanBlocks * kBlock), plan_(std::make_unique<md5::BlockPlan>())
    {
        std::mt19937 random(64);
        for (unsigned char& byte : buffer_)
            byte = static_cast<unsigned char>(random());
        for (unsigned block = 0; block < kPlanBlocks; ++block) {
            plan_->restart[block] = 0;
            for (unsigned lane = 0; lane < md5::kMaxLanes; ++lane)
                plan_->rows[block][lane] = buffer_.data() + (lane * kPlanBlocks + block) * kBlock;
        }
    }

    // Bytes per second of CPU of one lane, over one round.
    double laneRate(const md5::BlockKernel& kernel)
    {
        const std::size_t calls = std::max<std::size_t>(1, kRoundBytes / (kernel.lanes * kPlanBlocks * kBlock));
        const double start = threadSeconds();
        for (std::size_t call = 0; call < calls; ++call)
            kernel.run(state_, *plan_, kPlanBlocks);
        const double seconds = threadSeconds() - start;
        return seconds > 0 ? static_cast<double>(calls * kPlanBlocks * kBlock) / seconds : 0;
    }

private:
    std::vector<unsigned char> buffer_;
    std::unique_ptr<md5::BlockPlan> plan_;
    md5::LaneState state_{};
};

// The CPU model and this very program: rates cached for one build never stand for another.
std::string cacheKey()
{
    std::string key;
    std::ifstream cpuinfo("/proc/cpuinfo");
    // The first processor's block: on x86 its vendor and model, on Arm its implementer and part.
    for (std::string line; std::getline(cpuinfo, line) && !line.empty();) {
        const std::size_t colon = line.find(':');
        const std::string field = line.substr(0, line.find_last_not_of(" \t", colon - 1) + 1);
        if (colon != std::string::npos &&
            (field == "vendor_id" || field == "cpu family" || field == "model" || field == "model name" ||
             field == "stepping" || field.starts_with("CPU ")))
            key += line.substr(colon + 1) + ";";
    }
    struct stat program {};
    if (::stat("/proc/self/exe", &program) != 0)
        return {};
    key += " program " + std::to_string(program.st_dev) + ":" + std::to_string(program.st_ino) + " " +
           std::to_string(program.st_size) + " " + std::to_string(program.st_mtim.tv_sec) + "." +
           std::to_string(program.st_mtim.tv_nsec);
    std::replace(key.begin(), key.end(), '\n', ' ');
    return key;
}

// The cache folder, when the user's cache is theirs: a run as root with someone else's HOME
// leaves nothing in it.
std::string cacheFolder()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/')
        base = xdg;
    else if (home != nullptr && home[0] == '/')
        base = std::string(home) + "/.cache";
    struct stat status {};
    if (base.empty() || ::stat(base.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return {};
    return base + "/vaskerel";
}

std::string readCache(const std::string& path)
{
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid())
        return {};
    std::string text(kLargestCache, '\0');
    const ssize_t count = ::read(file.get(), text.data(), text.size());
    text.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return text;
}

void writeCache(const std::string& folder, const std::string& text)
{
    ::mkdir(folder.c_str(), 0700);
    std::string temporary = folder + "/md5-kernel-rates.XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (!file.valid())
        return;
    const bool written = ::write(file.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (file.close() != 0 || !written || ::rename(temporary.c_str(), (folder + "/md5-kernel-rates").c_str()) != 0)
        ::unlink(temporary.c_str());
}

// Same kernels as this build and CPU run, and a fresh timing of the ladder's ends agrees.
bool stillHolds(const Md5KernelRates& cached, Bench& bench)
{
    const std::vector<md5::NamedKernel> kernels = md5::kernelsOf(Md5KernelSet::Automatic);
    if (kernels.size() != cached.kernels().size())
        return false;
    for (const md5::NamedKernel& kernel : kernels) {
        const double rate = cached.laneRate(kernel.name);
        if (rate <= 0)
            return false;
        if (kernel.name != cached.ladder().front().name && kernel.name != cached.ladder().back().name)
            continue;
        double now = 0;
        for (int round = 0; round < kCheckRounds; ++round)
            now = std::max(now, bench.laneRate(*kernel.kernel));
        if (now * kAgreement < rate || now > rate * kAgreement)
            return false;
    }
    return true;
}

} // namespace

Md5KernelRates measureMd5Rates()
{
    Bench bench;
    const std::vector<md5::NamedKernel> kernels = md5::kernelsOf(Md5KernelSet::Automatic);
    std::vector<Md5KernelRates::Kernel> rates;
    for (const md5::NamedKernel& kernel : kernels)
        rates.push_back({kernel.name, kernel.kernel->lanes, 0});
    // Round by round over all kernels, so that a clock still rising at the start is shared out.
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t i = 0; i < kernels.size(); ++i)
            rates[i].laneRate = std::max(rates[i].laneRate, bench.laneRate(*kernels[i].kernel));
    }
    return Md5KernelRates(std::move(rates));
}

const Md5KernelRates& md5Rates()
{
    static const Md5KernelRates rates = [] {
        const std::string key = cacheKey();
        const std::string folder = key.empty() ? std::string() : cacheFolder();
        if (!folder.empty()) {
            const std::string text = readCache(folder + "/md5-kernel-rates");
            const std::size_t lineEnd = text.find('\n');
            if (lineEnd != std::string::npos && text.substr(0, lineEnd) == key) {
                Bench bench;
                if (std::optional<Md5KernelRates> cached = Md5KernelRates::parse(std::string_view(text).substr(lineEnd + 1));
                    cached && stillHolds(*cached, bench))
                    return std::move(*cached);
            }
        }
        Md5KernelRates measured = measureMd5Rates();
        if (!folder.empty())
            writeCache(folder, key + "\n" + measured.text());
        return measured;
    }();
    return rates;
}

} // namespace listgen
